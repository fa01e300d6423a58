// vttest, run in a pseudo-terminal as TERM=vt100 at 80x24, is driven through
// its menus 1 (cursor movements), 2 (screen features) and 8 (insert and
// delete). Everything it prints goes byte by byte into our screen model and
// into libvterm. At every "Push <RETURN>" the model must be out of the escape
// state, and the two character grids must agree unless the screen was drawn
// with something the model does not carry out or does differently on
// purpose; those screens are counted with the reason.
#include "VtermReference.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRows = 24;
constexpr int kCols = 80;

// Feeds both terminals and keeps track of whether the screen since the last
// point where both agreed was drawn only with what the model implements.
class Checker
{
public:
    Checker()
    {
        model.ChangeRows(kRows);
        model.SetCols(kCols);
        model.SetXlat(false);
        parser.OnTrace = [this](std::string_view t) {
            QByteArray line(t.data(), qsizetype(t.size()));
            taint(line.mid(5).trimmed());
        };
        // A VT100 wraps by default; the model starts with wrapping off and
        // takes it from the host's mode sequences.
        ref.feed("\x1b[?7l", 5);
    }

    void feed(const QByteArray& bytes)
    {
        for (char ch : bytes)
            feedByte(uint8_t(ch));
        if (!captureDir.isEmpty())
            captured += bytes;
    }

    // With BREVANT_VTTEST_CAPTURE naming a folder, the bytes of each screen
    // are written there as an input of the interpreter's fuzz target: four
    // settings bytes (24 rows, 80 columns, no scroll-back, the default options)
    // and the screen as vttest sent it.
    void capture(const QString& name)
    {
        if (captureDir.isEmpty() || captured.isEmpty())
            return;
        QFile f(QDir(captureDir).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x18\x50\x00\x01", 4) + captured);
        captured.clear();
    }

    bool agree() const
    {
        return differingRows(model, ref).empty() && model.Row == ref.cursorRow() &&
               std::min(model.Col, kCols - 1) == ref.cursorCol();
    }

    // Called at each prompt.
    void checkpoint(const QString& where)
    {
        ++screens;
        if (agree()) {
            ++matched;
            clearTaint();
        } else if (tainted || !stickyModes.isEmpty()) {
            outside << where + ": " + reason.join("; ");
        } else {
            failures << where + "\n" + describe();
        }
    }

    QString describe() const { return describeDifferences(model, ref, kCols); }

    TScreen model;
    TVTParser parser{model};
    VtermReference ref{kRows, kCols};
    int screens = 0;
    int matched = 0;
    QString captureDir = qEnvironmentVariable("BREVANT_VTTEST_CAPTURE");
    QByteArray captured;
    QStringList outside;
    QStringList failures;

private:
    void taint(const QString& why)
    {
        if (!reason.contains(why))
            reason << why;
        tainted = true;
    }
    void clearTaint()
    {
        if (stickyModes.isEmpty()) {
            tainted = false;
            reason.clear();
        }
    }

    void feedByte(uint8_t b)
    {
        const bool wasPending = parser.EscPending();
        const QByteArray seq(parser.EscBuffer().data(), qsizetype(parser.EscBuffer().size()));
        if (!wasPending && parser.LiteralCount() == 0)
            beforeControl(b);
        const int savedRow = model.SavedRow;
        const int row = model.Row;
        const int col = model.Col;
        parser.PutChar(b);
        ref.feed(reinterpret_cast<const char*>(&b), 1);
        if (wasPending && !parser.EscPending())
            afterSequence(seq, b, savedRow, row, col);
        else if (b == '\n' && !wasPending)
            resync();
    }

    bool outsideRegion(int row) const { return row < model.RegionTop || row > model.RegionBottom; }

    // Checks a byte outside a sequence against what the model does
    // differently from a VT100.
    void beforeControl(uint8_t b)
    {
        const bool printable = b >= 0x20 && b < 0x7F;
        if (model.Col >= kCols && b != '\r' && !(printable && model.AutoWrap))
            taint("hidden columns up to 132");
        if (printable && model.AutoWrap && model.Col >= kCols &&
            (model.Row == model.RegionBottom) != (model.Row == kRows - 1))
            taint("AutoWrap scrolls only at the bottom row");
        if ((b == '\n' || b == 0x0B || b == 0x0C) && outsideRegion(model.Row))
            taint("line feed outside the region");
        if (b == '\t' && tabStopsChanged)
            taint("tab stops stay at every eighth column");
        const bool carriedOut = b == 0x00 || b == 0x07 || b == 0x08 || b == 0x09 || b == 0x0A ||
                                b == 0x0D || b == 0x0E || b == 0x0F || b == 0x1B;
        if ((b < 0x20 && !carriedOut) || b >= 0x7F)
            taint(QString("control byte %1 is shown as a glyph").arg(int(b), 2, 16, QChar('0')));
        if (b == 0x0E)
            shiftedOut = true;
        if (b == 0x0F)
            shiftedOut = false;
        if (printable && shiftedOut)
            taint("shift out selects the line-drawing table");
        if (printable && graphics && b >= '`' && b <= '~' && !strchr("jklmnqtuvwx", b))
            taint("line drawing covers only eleven letters");
    }

    static QList<int> numbers(const QByteArray& params)
    {
        QList<int> out;
        for (const QByteArray& p : params.split(';'))
            out << p.trimmed().toInt();
        return out;
    }

    void afterSequence(const QByteArray& seq, uint8_t f, int savedRow, int row, int col)
    {
        if (seq.isEmpty()) {
            if (f == '8' && savedRow < 0)
                taint("each save restores once");
            if (f == 'H')
                tabStopsChanged = true;
            if (f == 'M' && outsideRegion(row))
                taint("reverse index outside the region");
            return;
        }
        if (seq == "(")
            graphics = f == '0';
        if (!seq.startsWith('['))
            return;
        const bool priv = seq.startsWith("[?");
        const QByteArray params = seq.mid(priv ? 2 : 1);
        const QList<int> ns = numbers(params);
        const int pn = ns.value(0);
        const int n = pn == 0 ? 1 : pn;
        if (priv && f != 'h' && f != 'l')
            taint("private parameters on other sequences");
        switch (f) {
        case 'K':
            if (pn != 0)
                taint("EL ignores its parameter");
            break;
        case 'J':
            if (pn == 1)
                taint("ED 1 clears the whole cursor row");
            if (pn == 2)
                taint("ED 2 homes the cursor");
            break;
        case 'r':
            taint("setting the region leaves the cursor");
            break;
        case 'L':
        case 'M':
            if (col != 0)
                taint("line insert and delete return to column 0");
            if (outsideRegion(row))
                taint("insert and delete lines outside the region");
            break;
        case 's':
        case 'u':
            taint("ESC [ s and ESC [ u save and restore the cursor");
            break;
        case 'S':
            if (n > 1)
                taint("scroll up moves one line whatever its parameter");
            break;
        case 'g':
            tabStopsChanged = true;
            break;
        case 'C':
            if (model.AutoWrap && col + n >= kCols)
                taint("cursor forward wraps with AutoWrap");
            break;
        case 'A':
            if (row >= model.RegionTop && row - n < model.RegionTop && model.RegionTop > 0)
                taint("cursor up ignores the region");
            break;
        case 'B':
            if (row <= model.RegionBottom && row + n > model.RegionBottom &&
                model.RegionBottom < kRows - 1)
                taint("cursor down ignores the region");
            break;
        case 'h':
        case 'l': {
            if (ns.size() > 1)
                taint("only the first mode of a list is set");
            for (int m : ns) {
                const bool known = priv && (m == 1 || m == 4 || m == 7 || m == 25);
                if (known)
                    continue;
                const QString name = (priv ? "?" : "") + QString::number(m);
                // Modes that change where later text lands (origin, margins,
                // alternate screen, insert, new line) keep the screens apart
                // for as long as they are set.
                static const QSet<QString> lasting = {"?6",    "?69", "?47", "?1047",
                                                      "?1049", "4",   "20"};
                if (f == 'h' && lasting.contains(name))
                    stickyModes.insert(name);
                else
                    stickyModes.remove(name);
                taint("mode " + name + " is not carried out");
            }
            break;
        }
        default:
            break;
        }
        resync();
    }

    // Once both terminals show the same screen again, what came before no
    // longer matters.
    void resync()
    {
        if (tainted && agree())
            clearTaint();
    }

    bool tainted = false;
    QStringList reason;
    QSet<QString> stickyModes;
    bool tabStopsChanged = false;
    bool shiftedOut = false;
    bool graphics = false;
};

class Vttest
{
public:
    ~Vttest()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }

    bool start(const QString& program)
    {
        winsize ws{};
        ws.ws_row = kRows;
        ws.ws_col = kCols;
        pid_ = forkpty(&fd_, nullptr, nullptr, &ws);
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            setenv("TERM", "vt100", 1);
            setenv("LINES", "24", 1);
            setenv("COLUMNS", "80", 1);
            const QByteArray path = program.toLocal8Bit();
            execl(path.constData(), "vttest", static_cast<char*>(nullptr));
            _exit(127);
        }
        return true;
    }

    void send(const QByteArray& keys)
    {
        sinceKey_.clear();
        qsizetype done = 0;
        while (done < keys.size()) {
            const ssize_t n = write(fd_, keys.constData() + done, size_t(keys.size() - done));
            if (n <= 0)
                return;
            done += n;
        }
    }

    // Reads until one of the markers has appeared since the last key and the
    // program has gone quiet. Returns the marker's index, or -1 on time-out
    // or end of output.
    int waitFor(const QList<QByteArray>& markers, Checker& checker, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        int found = -1;
        while (timer.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            const int ready = poll(&p, 1, found >= 0 ? 80 : 200);
            if (ready == 0) {
                if (found >= 0)
                    return found;
                continue;
            }
            char buf[4096];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0)
                return found;
            const QByteArray chunk(buf, n);
            checker.feed(chunk);
            sinceKey_ += chunk;
            for (int i = 0; found < 0 && i < markers.size(); ++i)
                if (sinceKey_.contains(markers[i]))
                    found = i;
        }
        return found;
    }

    bool finished(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            char buf[4096];
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) > 0 && read(fd_, buf, sizeof buf) <= 0) {
                // Output closed; collect the child below.
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    QByteArray sinceKey_;
};

} // namespace

class TestEmulvtVttest : public QObject
{
    Q_OBJECT
private slots:
    void menusMatchTheReference()
    {
        const QString program = QStandardPaths::findExecutable("vttest");
        QVERIFY2(!program.isEmpty(), "vttest is not installed (scripts/install-deps.sh)");
        Vttest vt;
        Checker checker;
        QVERIFY(vt.start(program));
        const QByteArray menu = "Enter choice number";
        const QByteArray push = "Push <RETURN>";
        // vttest starts by asking for the device attributes and waits for an
        // answer, which our terminal never gives: a key press ends the wait.
        bool atMenu = false;
        for (int attempt = 0; attempt < 5 && !atMenu; ++attempt) {
            atMenu = vt.waitFor({menu}, checker, 1500) == 0;
            if (!atMenu)
                vt.send("\r");
        }
        QVERIFY2(atMenu, "vttest never showed its menu");
        checker.capture(QStringLiteral("vttest-menu"));

        QMap<QString, int> promptsPerMenu;
        for (const char* choice : {"1", "2", "8"}) {
            vt.send(QByteArray(choice) + "\r");
            int prompts = 0;
            for (;;) {
                const int got = vt.waitFor({push, menu}, checker);
                QVERIFY2(got >= 0, qPrintable(QString("vttest stopped answering in menu %1 after "
                                                      "%2 screens")
                                                  .arg(choice)
                                                  .arg(prompts)));
                QVERIFY2(!checker.parser.EscPending(),
                         qPrintable(QString("escape state left open in menu %1").arg(choice)));
                if (got == 1)
                    break;
                ++prompts;
                checker.checkpoint(QString("menu %1, screen %2").arg(choice).arg(prompts));
                checker.capture(
                    QString("vttest-%1-%2").arg(choice).arg(prompts, 2, 10, QChar('0')));
                QVERIFY(prompts < 100);
                vt.send("\r");
            }
            promptsPerMenu[choice] = prompts;
        }
        vt.send("0\r");
        QVERIFY(vt.finished(5000));

        qInfo("screens: %d, matching libvterm: %d", checker.screens, checker.matched);
        for (const QString& line : checker.outside)
            qInfo("outside the implemented subset, %s", qPrintable(line));
        for (auto it = promptsPerMenu.cbegin(); it != promptsPerMenu.cend(); ++it)
            QVERIFY2(it.value() >= 3, qPrintable("too few screens in menu " + it.key()));
        QVERIFY2(checker.failures.isEmpty(), qPrintable(checker.failures.join("\n")));
        QVERIFY(checker.matched >= checker.screens / 3);
    }
};

QTEST_APPLESS_MAIN(TestEmulvtVttest)
#include "test_emulvtvttest.moc"
