#pragma once

// The text and formats of a text document, paragraph by paragraph: its
// text, block and block character formats, and each stretch of characters
// of one format. Equal for documents that show the same, however their
// fragments are split.

#include <QList>
#include <QPair>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFormat>

struct DocumentParagraph
{
    QString text;
    QTextBlockFormat blockFormat;
    QTextCharFormat charFormat;
    QList<QPair<int, QTextCharFormat>> stretches;
    bool operator==(const DocumentParagraph&) const = default;
};

inline QList<DocumentParagraph> DocumentParagraphs(const QTextDocument& doc)
{
    QList<DocumentParagraph> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        DocumentParagraph p{b.text(), b.blockFormat(), b.charFormat(), {}};
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!p.stretches.isEmpty() && p.stretches.last().second == f.charFormat())
                p.stretches.last().first += f.length();
            else
                p.stretches.append({f.length(), f.charFormat()});
        }
        out.append(p);
    }
    return out;
}
