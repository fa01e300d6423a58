#pragma once

#include <QDialog>
#include <QMenu>
#include <QString>
#include <QTest>
#include <QWidget>

#include <memory>

// Takes the mouse from a control of `window` that holds it, the ways a user
// meets: "activate" another window comes to the front, "modal" a modal box
// opens, "menu" a menu pops up. What it opened stays open while the taker
// lives.
class MouseTaker
{
public:
    MouseTaker(const QString& how, QWidget* window)
    {
        if (how == QLatin1String("activate")) {
            other_ = std::make_unique<QWidget>();
            other_->resize(50, 50);
            other_->show();
            other_->activateWindow();
            taken_ = QTest::qWaitForWindowActive(other_.get());
        } else if (how == QLatin1String("modal")) {
            other_ = std::make_unique<QDialog>(window);
            other_->setWindowModality(Qt::ApplicationModal);
            other_->show();
            taken_ = QTest::qWaitForWindowExposed(other_.get());
        } else if (how == QLatin1String("menu")) {
            menu_ = std::make_unique<QMenu>();
            menu_->addAction(QStringLiteral("Item"));
            menu_->popup(window->mapToGlobal(QPoint(window->width() / 2, window->height() / 2)));
            taken_ = QTest::qWaitForWindowExposed(menu_.get());
        }
    }
    // Whether the window or menu came up.
    bool Taken() const { return taken_; }

private:
    std::unique_ptr<QWidget> other_;
    std::unique_ptr<QMenu> menu_;
    bool taken_ = false;
};
