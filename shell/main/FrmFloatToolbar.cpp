#include "shell/main/FrmFloatToolbar.h"

#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

QPointer<TF_FloatToolbar> F_FloatToolbar;

QPoint ClampOntoScreens(QPoint pos, QSize size, const QList<QRect>& available)
{
    if (available.isEmpty())
        return pos;
    const QRect wanted(pos, size);
    qint64 best = -1;
    QRect target = available.first();
    for (const QRect& area : available) {
        if (area.contains(wanted))
            return pos;
        const QRect overlap = area.intersected(wanted);
        const qint64 covered = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (covered > best) {
            best = covered;
            target = area;
        }
    }
    // Right and bottom edges first, so that a window larger than the area
    // keeps its top-left corner on it.
    const int x = std::max(target.left(), std::min(pos.x(), target.right() + 1 - size.width()));
    const int y = std::max(target.top(), std::min(pos.y(), target.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

TF_FloatToolbar::TF_FloatToolbar(TF_Main& main)
    : TForm(&main, Qt::Tool | Qt::WindowStaysOnTopHint), main_(&main)
{
    setObjectName(QStringLiteral("F_FloatToolbar"));
    SetCaption(QStringLiteral("แผงควบคุมฉบับย่อ"));
    const QStyle* st = style();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto button = [&](const char* name, const QString& hint, QStyle::StandardPixmap icon,
                      void (TF_Main::*handler)()) {
        auto* b = new TToolButton(QLatin1String(name), this);
        b->SetHint(hint);
        b->setIcon(st->standardIcon(icon));
        b->setAutoRaise(true);
        b->setFixedSize(32, 32);
        layout->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, handler] {
            if (main_)
                (main_.data()->*handler)();
        });
        return b;
    };
    RSB_NewWindow = button("RSB_NewWindow", QStringLiteral("เปิดหน้าต่างใหม่"), QStyle::SP_FileIcon,
                           &TF_Main::RSB_NewWindowClick);
    RSB_NewWindow->setFixedSize(33, 32);
    RSB_Back = button("RSB_Back", QStringLiteral("กลับไปหน้าที่ผ่านมา"), QStyle::SP_ArrowBack,
                      &TF_Main::RSB_BackClick);
    RSB_Forward = button("RSB_Forward", QStringLiteral("ไปยังหน้าถัดไป"), QStyle::SP_ArrowForward,
                         &TF_Main::RSB_ForwardClick);
    RSB_Stop = button("RSB_Stop", QStringLiteral("หยุดการเรียกข้อมูล"), QStyle::SP_BrowserStop,
                      &TF_Main::RSB_StopClick);
    RSB_Refresh = button("RSB_Refresh", QStringLiteral("เรียกข้อมูลซ้ำอีกครั้ง"), QStyle::SP_BrowserReload,
                         &TF_Main::RSB_RefreshClick);
    RSB_Home = button("RSB_Home", QStringLiteral("ไปหน้าแรก"), QStyle::SP_DirHomeIcon,
                      &TF_Main::RSB_HomeClick);
    RSB_Search = button("RSB_Search", QStringLiteral("ค้นหา Web Page"),
                        QStyle::SP_FileDialogContentsView, &TF_Main::RSB_SearchClick);
    RSB_Favorite = button("RSB_Favorite", QStringLiteral("สารบัญเว็บ"), QStyle::SP_DirOpenIcon,
                          &TF_Main::RSB_FavoriteClick);
    RSB_TileWindow = button("RSB_TileWindow", QStringLiteral("จัดเรียงหน้าต่างแบบเห็นทุกหน้า"),
                            QStyle::SP_TitleBarNormalButton, &TF_Main::RSB_TileWindowClick);
    RSB_CascadeWindow = button("RSB_CascadeWindow", QStringLiteral("จัดเรียงหน้าต่างแบบซ้อนหน้าต่าง"),
                               QStyle::SP_TitleBarMaxButton, &TF_Main::RSB_CascadeWindowClick);
    RSB_Back->setEnabled(false);
    RSB_Forward->setEnabled(false);
    // A latching button: it shows whether the favorites panel is open.
    RSB_Favorite->setCheckable(true);
    // The main window keeps its state; a click only asks it to toggle.
    connect(RSB_Favorite, &QToolButton::clicked, this, [this] {
        if (main_)
            RSB_Favorite->SetDown(main_->FavoritesPanelOpen);
    });
    FormCreate();
}

QList<TToolButton*> TF_FloatToolbar::Buttons() const
{
    return {RSB_NewWindow, RSB_Back,   RSB_Forward,  RSB_Stop,       RSB_Refresh,
            RSB_Home,      RSB_Search, RSB_Favorite, RSB_TileWindow, RSB_CascadeWindow};
}

void TF_FloatToolbar::FormCreate()
{
    if (!main_)
        return;
    const TBrowserSettings& s = main_->Settings;
    QPoint pos(s.ToolBarX == -1 ? main_->x() + 100 : s.ToolBarX,
               s.ToolBarY == -1 ? main_->y() + 100 : s.ToolBarY);
    QList<QRect> areas;
    for (QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    adjustSize();
    move(ClampOntoScreens(pos, frameGeometry().size().expandedTo(sizeHint()), areas));
    setVisible(!s.ToolBarVisible);
}

void TF_FloatToolbar::FormShow()
{
    if (main_)
        RSB_Favorite->SetDown(main_->FavoritesPanelOpen);
}

void TF_FloatToolbar::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
