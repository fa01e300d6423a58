#include "components/PropsStorage.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QtTest>

// A nested persistent object, like a font.
class TTestFont : public TPersistent
{
    Q_OBJECT
    Q_PROPERTY(int Size MEMBER size)
    Q_PROPERTY(QString Name MEMBER name)
public:
    using TPersistent::TPersistent;
    int size = 8;
    QString name = QStringLiteral("Tahoma");
};

class TTestComponent : public QObject
{
    Q_OBJECT
public:
    enum TColor { clRed, clGreen, clBlue };
    Q_ENUM(TColor)
    enum TStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
    Q_DECLARE_FLAGS(TStyles, TStyle)
    Q_FLAG(TStyles)

private:
    Q_PROPERTY(int Count MEMBER count)
    Q_PROPERTY(bool Flag MEMBER flag)
    Q_PROPERTY(TColor Color MEMBER color)
    Q_PROPERTY(TStyles Styles READ Styles WRITE SetStyles)
    Q_PROPERTY(double Ratio MEMBER ratio)
    Q_PROPERTY(float Scale MEMBER scale)
    Q_PROPERTY(QString caption MEMBER caption)
    Q_PROPERTY(QChar Letter MEMBER letter)
    Q_PROPERTY(qint64 Big MEMBER big)
    Q_PROPERTY(TStrings* items READ Items)
    Q_PROPERTY(TCollection* columns READ Columns)
    Q_PROPERTY(TTestFont* Font READ Font)
    Q_PROPERTY(TLabel* Link MEMBER link)

public:
    explicit TTestComponent(const QString& name, QObject* parent = nullptr)
        : QObject(parent), items_(new TStrings(this)),
          columns_(new TCollection([](TCollection* c) { return new TListColumn(c); }, this)),
          font_(new TTestFont(this))
    {
        setObjectName(name);
    }
    TStyles Styles() const { return styles; }
    void SetStyles(TStyles s) { styles = s; }
    TStrings* Items() const { return items_; }
    TCollection* Columns() const { return columns_; }
    TTestFont* Font() const { return font_; }

    int count = 5;
    bool flag = true;
    TColor color = clGreen;
    TStyles styles = TStyles(fsBold) | fsUnderline;
    double ratio = 0.5;
    float scale = 1.25f;
    QString caption = QStringLiteral(" Hello ");
    QChar letter = u'x';
    qint64 big = 1;
    TLabel* link = nullptr;

private:
    TStrings* items_;
    TCollection* columns_;
    TTestFont* font_;
};

class TTestOther : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString hint MEMBER hint)
public:
    using QObject::QObject;
    QString hint;
};

class TestPropsStorage : public QObject
{
    Q_OBJECT

    // Loads the listed properties with a lookup that answers from `answers`
    // (identifier or "section|identifier" keys) and the default otherwise.
    struct Loader
    {
        QHash<QString, QString> answers;
        QStringList asked;

        void load(QObject* owner, const QList<QPair<QString, QObject*>>& lines)
        {
            TPropertyLines list;
            for (const auto& line : lines)
                list.append({line.first, line.second});
            TPropsStorage storage;
            storage.Section = QStringLiteral("_");
            storage.OnReadValue = [this](const QString& section, const QString& ident,
                                         const QString& def) {
                asked.append(section + u'|' + ident);
                if (answers.contains(section + u'|' + ident))
                    return answers.value(section + u'|' + ident);
                return answers.value(ident, def);
            };
            storage.LoadComponentProperties(owner, list);
        }
    };

private slots:
    void textForms_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");

        QTest::newRow("integer") << "Count"
                                 << " 42 "
                                 << "42";
        QTest::newRow("integer not a number keeps") << "Count"
                                                    << "abc"
                                                    << "5";
        QTest::newRow("integer out of range keeps") << "Count"
                                                    << "99999999999"
                                                    << "5";
        QTest::newRow("boolean any case") << "Flag"
                                          << "false"
                                          << "False";
        QTest::newRow("boolean unknown keeps") << "Flag"
                                               << "maybe"
                                               << "True";
        QTest::newRow("enumeration") << "Color"
                                     << "CLBLUE"
                                     << "clBlue";
        QTest::newRow("enumeration unknown keeps") << "Color"
                                                   << "clPink"
                                                   << "clGreen";
        QTest::newRow("float") << "Ratio"
                               << "2.75"
                               << "2.75";
        QTest::newRow("float bad keeps") << "Ratio"
                                         << "2,7x"
                                         << "0.5";
        QTest::newRow("single float") << "Scale"
                                      << "0.1"
                                      << "0.1";
        QTest::newRow("string trimmed") << "caption"
                                        << "  Thai ไทย \t"
                                        << "Thai ไทย";
        QTest::newRow("char first") << "Letter"
                                    << "yz"
                                    << "y";
        QTest::newRow("char empty keeps") << "Letter"
                                          << "  "
                                          << "x";
        QTest::newRow("set") << "Styles"
                             << "[fsItalic, fsBold]"
                             << "[fsBold,fsItalic]";
        QTest::newRow("set one member") << "Styles"
                                        << "fsItalic"
                                        << "[fsItalic]";
        QTest::newRow("set unknown words ignored") << "Styles"
                                                   << "[fsNone,fsUnderline]"
                                                   << "[fsUnderline]";
        QTest::newRow("set empty") << "Styles"
                                   << "[]"
                                   << "[]";
        QTest::newRow("int64") << "Big"
                               << "-9000000000"
                               << "-9000000000";
    }

    void textForms()
    {
        QFETCH(QString, property);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        TTestComponent c(QStringLiteral("Comp"));
        Loader loader;
        loader.answers.insert(QStringLiteral("Comp_") + property, answer);
        loader.load(nullptr, {{QStringLiteral("comp.") + property.toLower(), &c}});

        TPropsStorage storage;
        storage.Instance = &c;
        const TPropInfoList list(&c, tkAllButMethod);
        const QMetaProperty* info = list.FindByName(property);
        QVERIFY(info);
        QCOMPARE(storage.ValueToText(*info), expected);
    }

    void setReadsBackItsOwnText()
    {
        TTestComponent c(QStringLiteral("Comp"));
        TPropsStorage storage;
        storage.Instance = &c;
        const TPropInfoList list(&c, tkAllButMethod);
        const QMetaProperty* info = list.FindByName(QStringLiteral("styles"));
        const QString text = storage.ValueToText(*info);
        QCOMPARE(text, QStringLiteral("[fsBold,fsUnderline]"));
        c.styles = {};
        storage.TextToValue(*info, text);
        QCOMPARE(c.styles,
                 TTestComponent::TStyles(TTestComponent::fsBold) | TTestComponent::fsUnderline);
    }

    void withoutLookupEveryAnswerIsEmpty()
    {
        TTestComponent c(QStringLiteral("Comp"));
        c.Items()->Assign({QStringLiteral("a"), QStringLiteral("b")});
        c.Columns()->Add();
        static_cast<TListColumn*>(c.Columns()->Add())->SetCaption(QStringLiteral("kept?"));
        TPropertyLines list;
        for (const char* name :
             {"caption", "count", "styles", "color", "ratio", "letter", "items", "columns", "flag"})
            list.append({QStringLiteral("Comp.") + QLatin1String(name), &c});
        TPropsStorage storage;
        storage.LoadComponentProperties(nullptr, list);
        QCOMPARE(c.caption, QString());
        QCOMPARE(c.count, 5); // not a number: unchanged
        QCOMPARE(c.styles, TTestComponent::TStyles());
        QCOMPARE(c.color, TTestComponent::clGreen);
        QCOMPARE(c.ratio, 0.5);
        QCOMPARE(c.letter, QChar(u'x'));
        QCOMPARE(c.flag, true);
        QCOMPARE(c.Items()->lines(), QStringList({"a", "b"}));
        QCOMPARE(c.Columns()->Count(), 2);
        QCOMPARE(static_cast<TListColumn*>(c.Columns()->Item(1))->Caption(), QString());
    }

    void stringList()
    {
        TTestComponent c(QStringLiteral("CB_URL"));
        c.Items()->Assign({QStringLiteral("old")});
        Loader loader;
        loader.answers.insert(QStringLiteral("_.CB_URL_items|Count"), QStringLiteral(" 2 "));
        loader.answers.insert(QStringLiteral("_.CB_URL_items|Item0"), QStringLiteral(" one"));
        loader.answers.insert(QStringLiteral("_.CB_URL_items|Item1"), QStringLiteral("two"));
        loader.load(nullptr, {{QStringLiteral("cb_url.items"), &c}});
        QCOMPARE(c.Items()->lines(), QStringList({" one", "two"}));

        // Zero, negative and non-numeric counts leave the lines alone.
        for (const char* count : {"0", "-3", "many"}) {
            loader.answers.insert(QStringLiteral("_.CB_URL_items|Count"), QLatin1String(count));
            loader.load(nullptr, {{QStringLiteral("cb_url.items"), &c}});
            QCOMPARE(c.Items()->lines(), QStringList({" one", "two"}));
        }
    }

    void collection_data()
    {
        QTest::addColumn<QString>("countText");
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<bool>("sameItems");
        QTest::newRow("same count keeps items") << "2" << 2 << true;
        QTest::newRow("larger rebuilds") << "3" << 3 << false;
        QTest::newRow("smaller rebuilds") << "1" << 1 << false;
        QTest::newRow("zero empties") << "0" << 0 << false;
        QTest::newRow("negative refused") << "-1" << 2 << true;
        QTest::newRow("not a number keeps") << "lots" << 2 << true;
        QTest::newRow("huge is capped")
            << "2147483647" << int(TPropsStorage::MaxItemCount) << false;
    }

    void collection()
    {
        QFETCH(QString, countText);
        QFETCH(int, expectedCount);
        QFETCH(bool, sameItems);
        TTestComponent c(QStringLiteral("LV_URL"));
        QPointer<QObject> first = c.Columns()->Add();
        c.Columns()->Add();
        Loader loader;
        loader.answers.insert(QStringLiteral("_|LV_URL_columns.Count"), countText);
        loader.answers.insert(QStringLiteral("_.LV_URL_columns|Item0_Caption"),
                              QStringLiteral(" ชื่อ "));
        loader.answers.insert(QStringLiteral("_.LV_URL_columns|Item0_Width"),
                              QStringLiteral("415"));
        loader.answers.insert(QStringLiteral("_.LV_URL_columns|Item0_Alignment"),
                              QStringLiteral("taCenter"));
        loader.load(nullptr, {{QStringLiteral("lv_url.columns"), &c}});
        QCOMPARE(c.Columns()->Count(), expectedCount);
        if (expectedCount > 0) {
            auto* column = static_cast<TListColumn*>(c.Columns()->Item(0));
            QCOMPARE(column == first.data(), sameItems);
            QCOMPARE(column->Caption(), QStringLiteral("ชื่อ"));
            QCOMPARE(column->Width(), 415);
            QCOMPARE(column->Alignment(), TListColumn::taCenter);
        }
    }

    void nestedObject()
    {
        TTestComponent c(QStringLiteral("Comp"));
        Loader loader;
        loader.answers.insert(QStringLiteral("Comp_FontSize"), QStringLiteral("12"));
        loader.answers.insert(QStringLiteral("Comp_FontName"), QStringLiteral("Garuda"));
        loader.load(nullptr, {{QStringLiteral("comp.font"), &c}});
        QCOMPARE(c.Font()->size, 12);
        QCOMPARE(c.Font()->name, QStringLiteral("Garuda"));
    }

    void references()
    {
        TForm form;
        form.setObjectName(QStringLiteral("F_Refs"));
        auto* label = new TLabel(QStringLiteral("Label1"), &form);
        new TButton(QStringLiteral("Button1"), &form);
        TTestComponent c(QStringLiteral("Comp"));

        struct Case
        {
            const char* text;
            bool startSet;
            TLabel* expected;
        };
        const Case cases[] = {
            {"Label1", false, label},          // resolved in the owner
            {"f_refs.label1", false, label},   // form found by name, any case
            {"(NULL)", true, nullptr},         // cleared
            {"F_Nowhere.Label1", true, label}, // no such form: left alone
            {"MainMenu1.", true, label},       // no form MainMenu1: left alone
            {"F_Refs.Missing", true, nullptr}, // form without that component
            {"Button1", true, label},          // another class: never assigned
            {"", true, label},                 // empty: left alone
        };
        for (const Case& test : cases) {
            c.link = test.startSet ? label : nullptr;
            Loader loader;
            loader.answers.insert(QStringLiteral("Comp_Link"), QLatin1String(test.text));
            loader.load(&form, {{QStringLiteral("comp.link"), &c}});
            QVERIFY2(c.link == test.expected, test.text);
        }
    }

    void listIsNormalisedAndKeyedByIdentity()
    {
        // Two components of one name but different classes: each is read
        // with its own class's properties.
        TTestComponent a(QStringLiteral("Same"));
        TTestOther b;
        b.setObjectName(QStringLiteral("Same"));
        auto* freed = new TTestComponent(QStringLiteral("Gone"));
        TPropertyLines list{
            {QStringLiteral(" same . caption "), &a}, {QStringLiteral("x.hint"), &b},
            {QStringLiteral("gone.caption"), freed},  {QStringLiteral("nodot"), &a},
            {QStringLiteral(".caption"), &a},         {QStringLiteral("same.nosuch"), &a}};
        delete freed;
        QStringList asked;
        TPropsStorage storage;
        storage.Section = QStringLiteral("_");
        storage.OnReadValue = [&](const QString&, const QString& ident, const QString&) {
            asked.append(ident);
            return QStringLiteral("v-") + ident;
        };
        storage.LoadComponentProperties(nullptr, list);
        QCOMPARE(a.caption, QStringLiteral("v-Same_caption"));
        QCOMPARE(b.hint, QStringLiteral("v-Same_hint"));
        QCOMPARE(asked, QStringList({"Same_caption", "Same_hint"}));
        QStringList texts;
        for (const TPropertyLine& line : list)
            texts.append(line.text);
        QCOMPARE(texts, QStringList({"Same.caption", "Same.hint", "Same.nosuch"}));
        // An unknown name is never created on the object.
        QVERIFY(a.dynamicPropertyNames().isEmpty());
        QVERIFY(a.property("nosuch").isNull());
        QCOMPARE(storage.Owner, nullptr);
    }

    void qtPropertiesAreNotPublished()
    {
        TLabel label(QStringLiteral("L"));
        const TPropInfoList list(&label, tkAllButMethod);
        QVERIFY(list.FindByName(QStringLiteral("caption")));
        QVERIFY(list.FindByName(QStringLiteral("HINT")));
        QVERIFY(!list.FindByName(QStringLiteral("text")));
        QVERIFY(!list.FindByName(QStringLiteral("objectName")));
        QVERIFY(!list.FindByName(QStringLiteral("enabled")));
    }
};

QTEST_MAIN(TestPropsStorage)
#include "test_PropsStorage.moc"
