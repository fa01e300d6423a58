#include "shell/data/MainWindowRules.h"

#include <QFileInfo>

#include <exception>

namespace {

int share(int count, int barWidth)
{
    return qMax(MinTabWidth, barWidth / count - 11);
}

bool tabsOverflow(int width, int count, int barWidth)
{
    return qint64(barWidth) < qint64(count) * (qint64(width) + 11);
}

} // namespace

int TabWidthAfterAdd(int width, int count, int barWidth)
{
    if (count > 0 && tabsOverflow(width, count, barWidth))
        return share(count, barWidth);
    return width;
}

int TabWidthAfterRemove(int width, int count, int barWidth)
{
    if (count >= 1)
        return qMin(100, share(count, barWidth));
    return width;
}

int TabWidthOnResize(int width, int count, int barWidth)
{
    if (count > 0 && tabsOverflow(width, count, barWidth))
        return share(count, barWidth);
    if (count > 0)
        return qMin(100, share(count, barWidth));
    return width;
}

QSize ConstrainMainWindowSize(QSize size)
{
    if (size.width() < 630)
        size.setWidth(640);
    if (size.height() < 480)
        size.setHeight(480);
    return size;
}

QString DoubleAmpersands(const QString& text)
{
    QString result = text;
    result.replace(u'&', QStringLiteral("&&"));
    return result;
}

TTelnetAddress ParseTelnetAddress(const QString& address)
{
    TTelnetAddress result;
    QString rest = address;
    const qsizetype scheme = rest.indexOf(QStringLiteral("telnet:"));
    if (scheme >= 0)
        rest.remove(scheme, 7);
    const qsizetype colon = rest.indexOf(u':');
    if (colon >= 0) {
        result.host = rest.left(colon);
        result.port = rest.mid(colon + 1);
    } else {
        result.host = rest;
    }
    // A numeric port must be a real one; a service name ("telnet") is
    // looked up by the connection.
    bool numeric = !result.port.isEmpty();
    for (QChar c : result.port)
        numeric = numeric && c.isDigit();
    if (numeric) {
        bool ok = false;
        const qlonglong port = result.port.toLongLong(&ok);
        if (!ok || port < 1 || port > 65535) {
            result.error = QStringLiteral("Telnet port out of range (1-65535): ") + result.port;
            return result;
        }
    }
    result.ok = true;
    return result;
}

TStartPlan PlanStartWindow(int startMode, bool firstStart, const QString& startURL,
                           const QString& makerHome, const QString& makerStart)
{
    TStartPlan plan;
    plan.startMode = firstStart ? 2 : startMode;
    switch (plan.startMode) {
    case 1:
        plan.openWindow = true;
        plan.engineHome = true;
        break;
    case 2:
        plan.openWindow = true;
        plan.url = firstStart ? makerStart : makerHome;
        break;
    case 3:
        plan.openWindow = true;
        plan.url = startURL;
        break;
    default:
        break;
    }
    return plan;
}

QString RetitleEngineCaption(const QString& caption, const QString& appTitle)
{
    QString result = caption;
    const qsizetype ms = result.indexOf(QStringLiteral("Microsoft "));
    if (ms >= 0)
        result.remove(ms, 10);
    const qsizetype ie = result.indexOf(QStringLiteral("Internet Explorer"));
    if (ie >= 0)
        result.replace(ie, 17, appTitle);
    return result;
}

void TExitSequence::add(const QString& name, std::function<void()> run)
{
    steps_.append({name, std::move(run)});
}

void TExitSequence::run()
{
    for (const Step& step : steps_) {
        ran_.append(step.name);
        try {
            step.run();
        } catch (const std::exception& e) {
            failed_.append(step.name + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        } catch (...) {
            failed_.append(step.name + QStringLiteral(": unknown error"));
        }
    }
}

QString DamagedFileNotice(const QString& file, const QString& backup)
{
    const QString name = QFileInfo(file).fileName();
    if (backup.isEmpty())
        return QStringLiteral("แฟ้ม %1 อ่านได้ไม่ครบและทำสำเนาไม่ได้ จะไม่บันทึกทับแฟ้มนี้").arg(name);
    return QStringLiteral("แฟ้ม %1 อ่านได้ไม่ครบ เก็บสำเนาไว้ที่ %2")
        .arg(name, QFileInfo(backup).fileName());
}
