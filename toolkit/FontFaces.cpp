#include "toolkit/FontFaces.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace FontFaces {

namespace {

struct Substitute
{
    const char* name;
    QStringList faces;
};

const QList<Substitute>& substitutes()
{
    static const QStringList sans = {QStringLiteral("Loma"), QStringLiteral("Waree"),
                                     QStringLiteral("Garuda"), QStringLiteral("DejaVu Sans")};
    static const QStringList mono = {QStringLiteral("Tlwg Mono"),
                                     QStringLiteral("DejaVu Sans Mono")};
    static const QStringList symbol = {QStringLiteral("Symbola"), QStringLiteral("DejaVu Sans")};
    static const QList<Substitute> list = {
        {"Ms Sans Serif", sans}, {"MS Shell Dlg", sans}, {"Tahoma", sans},      {"Arial", sans},
        {"Courier New", mono},   {"Courier", mono},      {"Wingdings", symbol},
    };
    return list;
}

} // namespace

void InstallSubstitutes()
{
    for (const Substitute& s : substitutes()) {
        const QString name = QString::fromLatin1(s.name);
        if (QFont::substitutes(name) != s.faces) {
            QFont::removeSubstitutions(name);
            QFont::insertSubstitutions(name, s.faces);
        }
    }
}

QString DisplayFace(const QString& storedName)
{
    const QStringList families = QFontDatabase::families();
    if (families.contains(storedName, Qt::CaseInsensitive))
        return storedName;
    for (const Substitute& s : substitutes()) {
        if (storedName.compare(QLatin1String(s.name), Qt::CaseInsensitive) != 0)
            continue;
        for (const QString& face : s.faces)
            if (families.contains(face, Qt::CaseInsensitive))
                return face;
    }
    return storedName;
}

} // namespace FontFaces
