#include "components/speedbar/SpeedBar.h"

#include "CrashWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QStringList kItems{"OpenBtn", "SaveBtn", "CloseBtn", "HelpBtn"};

// A form of the tests' own: a placement, and a speed bar whose layout it
// keeps, docked at the top over a client area. The bar holds four items;
// the first three are shown.
class TF_Bar : public TForm
{
    Q_OBJECT
public:
    TF_Bar()
    {
        setObjectName("F_Bar");
        auto* layout = new TAlignLayout(this);
        Placement = new TFormPlacement(this, "FormPlacement1");
        SpB_Test = new TSpeedBar("SpB_Test", this);
        SpB_Test->SetOptions(sbAllowDrag | sbAllowResize | sbGrayedBtns);
        auto* client = new QWidget(this);
        layout->addWidget(client, TAlign::alClient);
        const int section = SpB_Test->NewSection("Files");
        for (int i = 0; i < kItems.size(); ++i) {
            auto* item = new TSpeedItem(this, kItems[i]);
            SpB_Test->PlaceItem(section, item);
            item->SetLeft(3 + 24 * i);
            item->SetVisible(i < 3);
        }
        SpB_Test->SetIniStorage(Placement);
        SpB_Test->OnPosChanged = [this] { ++posChanges; };
        resize(400, 300);
    }
    TSpeedItem* Item(const QString& name) const { return SpB_Test->FindItemByName(name); }
    // The shown items, in item order.
    QStringList Shown() const
    {
        QStringList names;
        SpB_Test->EnumItems([&](TSpeedItem* item) {
            if (item->Visible())
                names << item->objectName();
        });
        return names;
    }
    QPoint At(const QString& name) const { return QPoint(Item(name)->Left(), Item(name)->Top()); }
    int Thickness() const
    {
        layout()->activate();
        return SpB_Test->IsVertical() ? SpB_Test->width() : SpB_Test->height();
    }

    TFormPlacement* Placement;
    TSpeedBar* SpB_Test;
    int posChanges = 0;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void showAndWait(QWidget* w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qFatal("window not exposed");
}

const QString kSection = QStringLiteral("TF_BarSpB_Test");
const QString kKey = QStringLiteral("Software\\Brevant Tests");

} // namespace

class TestSpeedBarLayout : public QObject
{
    Q_OBJECT

    QTemporaryDir home_;

    QString iniPath() const { return home_.filePath(QStringLiteral("bar.INI")); }
    QString registryPath() const { return home_.filePath(QStringLiteral("registry.reg")); }

    std::unique_ptr<TF_Bar> newForm(bool registry = false)
    {
        auto form = std::make_unique<TF_Bar>();
        if (registry) {
            form->Placement->SetUseRegistry(true);
            form->Placement->SetIniFileName(kKey);
        }
        return form;
    }

    std::unique_ptr<TCustomIniFile> store(bool registry = false) const
    {
        if (registry)
            return std::make_unique<TRegIniFile>(kKey, RegRoot::HKEY_CURRENT_USER, true,
                                                 registryPath());
        return std::make_unique<TIniFile>(iniPath());
    }

    // The bar's section of the ini file: these lines, with the screen's
    // pixels per inch unless they name some.
    void writeLayout(const QByteArray& lines)
    {
        QByteArray text = "[" + kSection.toLatin1() + "]\n" + lines;
        if (!lines.contains("PixelsPerInch"))
            text += "PixelsPerInch=" + QByteArray::number(ScreenPixelsPerInch()) + '\n';
        writeAll(iniPath(), text);
    }

private slots:
    void initTestCase()
    {
        qputenv("BREVANT_HOME", home_.path().toUtf8());
        qputenv("BREVANT_REGISTRY", registryPath().toUtf8());
        DefaultIniFileHook = [] { return QStringLiteral("bar.INI"); };
    }

    void init()
    {
        QFile::remove(iniPath());
        QFile::remove(registryPath());
    }

    // ---- Button entries ----

    void buttonEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("position"); // for an item at (50, 40), offsets 3 and 3
        QTest::newRow("name, left and top") << "OpenBtn,10,20"
                                            << "OpenBtn" << QPoint(10, 20);
        QTest::newRow("a name and one number") << "OpenBtn,10"
                                               << "OpenBtn" << QPoint(10, 40);
        QTest::newRow("a name alone") << "OpenBtn"
                                      << "OpenBtn" << QPoint(50, 40);
        QTest::newRow("blanks") << "  OpenBtn 10  20 "
                                << "OpenBtn" << QPoint(10, 20);
        QTest::newRow("inside the offsets") << "OpenBtn,1,-5"
                                            << "OpenBtn" << QPoint(3, 3);
        QTest::newRow("not a number") << "OpenBtn,x,20"
                                      << "OpenBtn" << QPoint(50, 20);
        QTest::newRow("beyond a bar") << "OpenBtn,40000,-40000"
                                      << "OpenBtn" << QPoint(50, 40);
        QTest::newRow("beyond an integer") << "OpenBtn,99999999999,7"
                                           << "OpenBtn" << QPoint(50, 7);
        QTest::newRow("more words") << "OpenBtn,10,20,30"
                                    << "OpenBtn" << QPoint(10, 20);
        QTest::newRow("empty") << ""
                               << "" << QPoint(50, 40);
    }

    void buttonEntries()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QPoint, position);
        const TBarLayoutEntry entry = ParseButtonEntry(text);
        QCOMPARE(entry.name, name);
        QCOMPARE(ButtonEntryPosition(entry, QPoint(50, 40), 3, 3), position);
    }

    void entriesReadBackAsWritten()
    {
        for (const auto& [left, top] : {std::pair{10, 20}, {0, -3}, {32767, 3}}) {
            const QString text = FormatButtonEntry("OpenBtn", left, top);
            const TBarLayoutEntry entry = ParseButtonEntry(text);
            QCOMPARE(entry.name, QStringLiteral("OpenBtn"));
            QCOMPARE(entry.left, left);
            QCOMPARE(entry.top, top);
        }
        QCOMPARE(FormatButtonEntry("OpenBtn", 10, -3), QStringLiteral("OpenBtn,10,-3"));
    }

    // ---- Saving ----

    // The keys in their order; only items shown and stored get entries; the
    // section is written anew, under the placement's own section when it
    // names one.
    void savedKeys()
    {
        writeAll(iniPath(), "[Main\\TF_BarSpB_Test]\nButton7=Stale,1,1\nCount=7\n");
        auto form = newForm();
        form->Placement->SetIniSection("Main");
        showAndWait(form.get());
        form->Item("SaveBtn")->Stored = false;
        form->Item("HelpBtn")->SetVisible(true);
        form->Item("HelpBtn")->SetLeft(100);
        form->Placement->SaveToStorage();

        const auto ini = store();
        const QString section = QStringLiteral("Main\\TF_BarSpB_Test");
        QCOMPARE(ini->ReadSection(section),
                 (QStringList{"Position", "Width", "Version", "PixelsPerInch", "BtnWidth",
                              "BtnHeight", "Button1", "Button2", "Button3", "Count"}));
        QCOMPARE(ini->ReadInteger(section, "Position", -1), int(TAlign::alTop));
        QCOMPARE(ini->ReadInteger(section, "Width", -1), form->SpB_Test->height());
        QCOMPARE(ini->ReadInteger(section, "PixelsPerInch", -1), ScreenPixelsPerInch());
        QCOMPARE(ini->ReadInteger(section, "BtnWidth", -1), 24);
        QCOMPARE(ini->ReadInteger(section, "BtnHeight", -1), 23);
        QCOMPARE(ini->ReadString(section, "Button1", {}), QStringLiteral("OpenBtn,3,3"));
        QCOMPARE(ini->ReadString(section, "Button2", {}), QStringLiteral("CloseBtn,51,3"));
        QCOMPARE(ini->ReadString(section, "Button3", {}), QStringLiteral("HelpBtn,100,3"));
        QCOMPARE(ini->ReadInteger(section, "Count", -1), 3);
        QCOMPARE(ini->ReadInteger("Main", "FormVersion", -1), 0);

        // A bar without a name keeps nothing.
        form->SpB_Test->setObjectName(QString());
        QFile::remove(iniPath());
        form->Placement->SaveToStorage();
        QCOMPARE(store()->ReadSection(section), QStringList());
    }

    // The bar's form destroyed without being closed saves the layout under
    // the form's own class name, not the base form's, also when the bar
    // joined the placement only after the form was first shown.
    void aDestroyedFormKeepsItsSection_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("linked before the first show") << "";
        QTest::newRow("linked after the first show") << "link";
        QTest::newRow("put on the form after the first show") << "parent";
    }
    void aDestroyedFormKeepsItsSection()
    {
        QFETCH(QString, how);
        {
            auto form = newForm();
            TSpeedBar* bar = form->SpB_Test;
            if (how == "link")
                bar->SetIniStorage(nullptr);
            if (how == "parent")
                bar->setParent(nullptr);
            showAndWait(form.get());
            if (how == "link")
                bar->SetIniStorage(form->Placement);
            if (how == "parent") {
                bar->setParent(form.get());
                bar->show();
            }
            form->Item("HelpBtn")->SetVisible(true);
        }
        const auto ini = store();
        QCOMPARE(ini->ReadInteger(kSection, "Count", -1), 4);
        QCOMPARE(ini->ReadSection("TFormSpB_Test"), QStringList());
    }

    // ---- Restoring ----

    // Docked left, made thicker, items moved, hidden and shown: a new form
    // comes back the same, from an ini file as from the registry.
    void aLayoutComesBack_data()
    {
        QTest::addColumn<bool>("registry");
        QTest::newRow("ini file") << false;
        QTest::newRow("registry") << true;
    }

    void aLayoutComesBack()
    {
        QFETCH(bool, registry);
        {
            auto form = newForm(registry);
            showAndWait(form.get());
            form->SpB_Test->SetAlign(TAlign::alLeft);
            form->SpB_Test->SetWidth(54);
            form->Item("OpenBtn")->SetTop(50);
            form->Item("SaveBtn")->SetLeft(27);
            form->Item("SaveBtn")->SetTop(74);
            form->Item("CloseBtn")->SetVisible(false);
            form->Item("HelpBtn")->SetVisible(true);
            form->Item("HelpBtn")->SetTop(98);
            QCOMPARE(form->Thickness(), 54);
            form->close();
        }
        QCOMPARE(store(registry)->ReadInteger(kSection, "Count", -1), 3);

        auto form = newForm(registry);
        showAndWait(form.get());
        QCOMPARE(form->SpB_Test->Align(), TAlign::alLeft);
        QVERIFY(form->SpB_Test->IsVertical());
        QCOMPARE(form->posChanges, 1);
        QCOMPARE(form->Thickness(), 54);
        QCOMPARE(form->Shown(), (QStringList{"OpenBtn", "SaveBtn", "HelpBtn"}));
        QCOMPARE(form->At("OpenBtn"), QPoint(3, 50));
        QCOMPARE(form->At("SaveBtn"), QPoint(27, 74));
        QCOMPARE(form->At("HelpBtn"), QPoint(3, 98));
        QVERIFY(form->Item("SaveBtn")->ItemButton()->isVisible());
        QVERIFY(!form->Item("CloseBtn")->ItemButton()->isVisible());
    }

    // Size and items come back only at the pixel density they were saved
    // at; the docking edge always does (and tells of the change).
    void theResolutionRule_data()
    {
        QTest::addColumn<QByteArray>("density"); // the PixelsPerInch line
        QTest::addColumn<bool>("onForm");
        QTest::addColumn<bool>("restored");
        const QByteArray here = "PixelsPerInch=" + QByteArray::number(ScreenPixelsPerInch());
        const QByteArray other = "PixelsPerInch=" + QByteArray::number(ScreenPixelsPerInch() + 24);
        QTest::newRow("same density") << here << true << true;
        QTest::newRow("another density") << other << true << false;
        QTest::newRow("none stored, bar on a form") << QByteArray() << true << true;
        QTest::newRow("none stored, bar on no form") << QByteArray() << false << false;
        QTest::newRow("same density, bar on no form") << here << false << true;
    }

    void theResolutionRule()
    {
        QFETCH(QByteArray, density);
        QFETCH(bool, onForm);
        QFETCH(bool, restored);
        auto form = newForm();
        TSpeedBar* bar = form->SpB_Test;
        // Off a form, the bar's section is its own name.
        QWidget elsewhere;
        new TAlignLayout(&elsewhere);
        elsewhere.resize(400, 300);
        if (!onForm)
            bar->setParent(&elsewhere);
        const QByteArray section = onForm ? kSection.toLatin1() : QByteArray("SpB_Test");
        writeAll(iniPath(), "[" + section + "]\n" + density +
                                "\nPosition=3\nWidth=60\nCount=1\nButton1=SaveBtn,27,50\n");
        const int thickness = bar->height();
        form->Placement->RestoreFromStorage();
        QCOMPARE(bar->Align(), TAlign::alLeft);
        QCOMPARE(form->posChanges, 1);
        bar->parentWidget()->layout()->activate();
        QCOMPARE(bar->width(), restored ? 60 : thickness);
        const QStringList shown =
            restored ? QStringList{"SaveBtn"} : QStringList{"OpenBtn", "SaveBtn", "CloseBtn"};
        QCOMPARE(form->Shown(), shown);
        if (restored)
            QCOMPARE(form->At("SaveBtn"), QPoint(27, 50));
    }

    // What a store holds is checked before the bar takes it: a number out
    // of range keeps what the bar has, a refused edge docks it at the top,
    // and a layout that names none of the bar's items leaves them as they
    // are.
    void storedValuesAreChecked_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<int>("start");     // the bar's edge before
        QTest::addColumn<int>("align");     // and after
        QTest::addColumn<int>("thickness"); // 0: unchanged
        QTest::addColumn<QStringList>("shown");
        const int top = int(TAlign::alTop), bottom = int(TAlign::alBottom);
        const QStringList three{"OpenBtn", "SaveBtn", "CloseBtn"};
        QTest::newRow("edge: no alignment")
            << QByteArray("Position=9\n") << bottom << bottom << 0 << three;
        QTest::newRow("edge: negative")
            << QByteArray("Position=-1\n") << bottom << bottom << 0 << three;
        QTest::newRow("edge: none is refused")
            << QByteArray("Position=0\n") << bottom << top << 0 << three;
        QTest::newRow("edge: client is refused")
            << QByteArray("Position=5\n") << bottom << top << 0 << three;
        QTest::newRow("thickness") << QByteArray("Width=40\n") << top << top << 40 << three;
        QTest::newRow("thickness: none") << QByteArray("Width=0\n") << top << top << 0 << three;
        QTest::newRow("thickness: negative")
            << QByteArray("Width=-20\n") << top << top << 0 << three;
        QTest::newRow("thickness: more than the form")
            << QByteArray("Width=100000\n") << top << top << 0 << three;
        QTest::newRow("count: negative")
            << QByteArray("Count=-1\nButton1=HelpBtn,3,3\n") << top << top << 0 << three;
        QTest::newRow("count: huge")
            << QByteArray("Count=2000000000\nButton1=HelpBtn,3,3\n") << top << top << 0 << three;
        QTest::newRow("no entry names an item")
            << QByteArray("Count=3\nButton1=Gone,3,3\nButton2=\nButton3=,27,3\n") << top << top << 0
            << three;
        QTest::newRow("names ignore case; the others hide")
            << QByteArray("Count=3\nButton1=Gone,3,3\nButton2=helpbtn,27\nButton3=OPENBTN\n") << top
            << top << 0 << QStringList{"OpenBtn", "HelpBtn"};
        QTest::newRow("an older version")
            << QByteArray("Version=1\nPosition=2\nCount=1\nButton1=HelpBtn\n") << top << top << 0
            << three;
    }

    void storedValuesAreChecked()
    {
        QFETCH(QByteArray, lines);
        QFETCH(int, start);
        QFETCH(int, align);
        QFETCH(int, thickness);
        QFETCH(QStringList, shown);
        writeLayout(lines);
        auto form = newForm();
        form->SpB_Test->Version = 2;
        if (!lines.contains("Version"))
            writeAll(iniPath(), readAll(iniPath()) + "Version=2\n");
        form->SpB_Test->SetAlign(TAlign(start));
        const int before = form->Thickness();
        const QPoint open = form->At("OpenBtn");
        form->posChanges = 0;
        showAndWait(form.get());
        QCOMPARE(int(form->SpB_Test->Align()), align);
        QCOMPARE(form->posChanges, align == start ? 0 : 1);
        QCOMPARE(form->Thickness(), thickness ? thickness : before);
        QCOMPARE(form->Shown(), shown);
        if (lines.contains("OPENBTN"))
            QCOMPARE(form->At("OpenBtn"), open); // no numbers: where it was
        if (lines.contains("helpbtn"))
            QCOMPARE(form->At("HelpBtn"), QPoint(27, 3));
    }

    // ---- Crashes ----

    // A save killed at any moment leaves the layout before it or the one
    // it wrote, whole: never an erased or half-written section.
    void aKilledSaveLeavesAWholeLayout_data()
    {
        QTest::addColumn<bool>("registry");
        QTest::newRow("ini file") << false;
        QTest::newRow("registry") << true;
    }

    void aKilledSaveLeavesAWholeLayout()
    {
        QFETCH(bool, registry);
        auto form = newForm(registry);
        showAndWait(form.get());
        // Round r: OpenBtn at 3 + r % 90, SaveBtn 200 further, HelpBtn shown
        // in odd rounds.
        auto save = [&](int round) {
            const int n = round % 90;
            form->Item("OpenBtn")->SetLeft(3 + n);
            form->Item("SaveBtn")->SetLeft(203 + n);
            form->Item("HelpBtn")->SetVisible(round % 2 == 1);
            form->Placement->SaveToStorage();
        };
        save(1);
        for (int delay : {5, 13, 31, 47}) {
            QVERIFY(killWriterMidSave(save, delay));
            const auto ini = store(registry);
            const int count = ini->ReadInteger(kSection, "Count", -1);
            QVERIFY2(count == 3 || count == 4, qPrintable(QString::number(count)));
            QCOMPARE(ini->ReadSection(kSection).size(), 7 + count);
            const TBarLayoutEntry open = ParseButtonEntry(ini->ReadString(kSection, "Button1", {}));
            const TBarLayoutEntry save = ParseButtonEntry(ini->ReadString(kSection, "Button2", {}));
            QCOMPARE(open.name, QStringLiteral("OpenBtn"));
            QCOMPARE(save.name, QStringLiteral("SaveBtn"));
            QCOMPARE(save.left.value_or(-1), open.left.value_or(-2) + 200);
            QCOMPARE(open.left.value_or(0) % 2 == 0, count == 4); // from one round
            QCOMPARE(ini->ReadString(kSection, QStringLiteral("Button%1").arg(count), {})
                         .section(u',', 0, 0),
                     count == 4 ? QStringLiteral("HelpBtn") : QStringLiteral("CloseBtn"));
            QVERIFY(!ini->ReadString("TF_Bar", "NormPos", {}).isEmpty());
        }
    }
};

QTEST_MAIN(TestSpeedBarLayout)
#include "test_SpeedBarLayout.moc"
