// Random bytes into the RTF reader of the rich text control. Whatever it
// accepts must be no larger than its input, and must come back the same
// (text and paragraphs) through the writer and the reader again.
#include "richtext/RxRtf.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    RxRtf::Document doc;
    if (!RxRtf::Read(input, doc))
        return 0;
    const QString text = doc.plainText();
    check(text.size() <= qsizetype(size));
    qsizetype objectBytes = 0;
    for (const RxRtf::Object& o : doc.objects)
        objectBytes += o.data.size();
    check(objectBytes <= qsizetype(size));

    for (bool withObjects : {true, false}) {
        RxRtf::Document back;
        check(RxRtf::Read(RxRtf::Write(doc, withObjects), back));
        check(back.paragraphs.size() == doc.paragraphs.size());
        QString expected = text;
        if (!withObjects) {
            expected.clear();
            for (qsizetype i = 0; i < doc.paragraphs.size(); ++i) {
                if (i > 0)
                    expected += QLatin1Char('\r');
                for (const RxRtf::Run& run : doc.paragraphs[i].runs)
                    if (run.object < 0)
                        expected += run.text;
            }
        }
        check(back.plainText() == expected);
    }
    return 0;
}
