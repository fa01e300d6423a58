// Random bytes into the RTF reader of the rich text control. Whatever it
// accepts must be no larger than its input, and must come back the same
// through the writer and the reader again: the text, the paragraphs and
// every format the writer writes, and the objects.
//
// Left out of the comparison, since RTF or the writer does not carry them:
// the character format of an object's run (an object takes the format of
// the place it is put in), font weights between normal and bold (the
// reader makes none: RTF has \b alone), and the family bits of a font's
// pitch byte (the writer writes the pitch, \fprq).
#include "richtext/RxRtf.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The document as it must read back: without objects when they were left
// out (text on both sides of one then runs together), and with the objects
// renumbered in the order the text holds them.
RxRtf::Document expected(const RxRtf::Document& doc, bool withObjects)
{
    RxRtf::Document out;
    for (const RxRtf::Paragraph& p : doc.paragraphs) {
        RxRtf::Paragraph para;
        para.format = p.format;
        for (const RxRtf::Run& run : p.runs) {
            if (run.object >= 0) {
                if (!withObjects)
                    continue;
                RxRtf::Run object = run;
                object.object = int(out.objects.size());
                out.objects.append(doc.objects[run.object]);
                para.runs.append(object);
                continue;
            }
            if (!para.runs.isEmpty() && para.runs.last().object < 0 &&
                para.runs.last().format == run.format)
                para.runs.last().text += run.text;
            else
                para.runs.append(run);
        }
        out.paragraphs.append(para);
    }
    return out;
}

void checkSame(const RxRtf::Document& back, const RxRtf::Document& want)
{
    check(back.paragraphs.size() == want.paragraphs.size());
    for (qsizetype p = 0; p < want.paragraphs.size(); ++p) {
        const RxRtf::Paragraph& a = back.paragraphs[p];
        const RxRtf::Paragraph& b = want.paragraphs[p];
        check(a.format == b.format);
        check(a.runs.size() == b.runs.size());
        for (qsizetype r = 0; r < b.runs.size(); ++r) {
            check(a.runs[r].text == b.runs[r].text);
            check((a.runs[r].object >= 0) == (b.runs[r].object >= 0));
            if (b.runs[r].object >= 0)
                check(back.objects.value(a.runs[r].object) == want.objects[b.runs[r].object]);
            else
                check(a.runs[r].format == b.runs[r].format);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    RxRtf::Document doc;
    if (!RxRtf::Read(input, doc))
        return 0;
    check(doc.plainText().size() <= qsizetype(size));
    qsizetype objectBytes = 0;
    for (const RxRtf::Object& o : doc.objects)
        objectBytes += o.data.size();
    check(objectBytes <= qsizetype(size));

    for (bool withObjects : {true, false}) {
        RxRtf::Document back;
        check(RxRtf::Read(RxRtf::Write(doc, withObjects), back));
        checkSame(back, expected(doc, withObjects));
    }
    return 0;
}
