#pragma once

#include <QList>
#include <QStringView>

// Recognises links in text the way the rich text control shows them: a
// known scheme prefix (http:, https:, ftp:, file:, mailto:, news:, nntp:,
// telnet:, gopher:, wais:, prospero:, in any letter case) or "www.",
// followed by at least one non-blank character. The link runs to the next
// blank; punctuation that ends a sentence (.,;:!?'") and closing brackets
// without their opening one inside the link are not part of it. A prefix
// directly after a Latin letter or digit does not start a link ("xhttp:"),
// while Thai text, which has no spaces between words, may run into one.
namespace RxUrlDetect {

struct Range
{
    int start = 0;
    int length = 0;
    bool operator==(const Range&) const = default;
};

QList<Range> FindURLs(QStringView text);

} // namespace RxUrlDetect
