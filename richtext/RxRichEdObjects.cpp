// The rich text control's embedded objects: inserting them (by paste, drop
// or call), their verb menu, host names and closing.

#include "richtext/RxRichEd.h"

#include "richtext/RxObjects.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxRichEd_p.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <set>

TRichEditObject* TRxCustomRichEdit::ObjectById(int id) const
{
    const auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : it->second.get();
}

int TRxCustomRichEdit::objectAt(int pos)
{
    const QTextFragment f = RxRichEdPrivate::fragmentAt(document()->findBlock(pos), pos);
    return f.isValid() && f.charFormat().hasProperty(RxQtFormat::ObjectProperty)
               ? f.charFormat().intProperty(RxQtFormat::ObjectProperty)
               : 0;
}

TRichEditObject* TRxCustomRichEdit::SelectedObject()
{
    if (SelectionType() != TRichSelectionType(stObject))
        return nullptr;
    return ObjectById(objectAt(textCursor().selectionStart()));
}

void TRxCustomRichEdit::insertObjectAt(QTextCursor& cursor, std::unique_ptr<TRichEditObject> object)
{
    const int id = nextObjectId_++;
    QTextCharFormat format = cursor.charFormat();
    format.setObjectType(TRxObjectPainter::ObjectType);
    format.setProperty(RxQtFormat::ObjectProperty, id);
    objects_[id] = std::move(object);
    UpdateHostNames();
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
}

bool TRxCustomRichEdit::InsertObject(std::unique_ptr<TRichEditObject> object)
{
    // Without the object support of the window nothing is taken in.
    if (!object || !allowObjects_)
        return false;
    HandleNeeded();
    FlushLayout();
    QTextCursor c = textCursor();
    if (RoomFor(c.selectionEnd() - c.selectionStart()) <= 0)
        return false;
    c.beginEditBlock();
    c.removeSelectedText();
    insertObjectAt(c, std::move(object));
    c.endEditBlock();
    setTextCursor(c);
    limitUndoHistory();
    return true;
}

void TRxCustomRichEdit::CloseObjects()
{
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it)
        it->second->Close();
}

void TRxCustomRichEdit::sweepObjects()
{
    sweepPosted_ = false;
    if (objects_.empty())
        return;
    std::set<int> present;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.hasProperty(RxQtFormat::ObjectProperty))
                present.insert(format.intProperty(RxQtFormat::ObjectProperty));
        }
    }
    // An undo may put a removed object's character back; while one can,
    // the object stays, closed (it opens again on its next verb).
    const QTextDocument* doc = document();
    const bool history = doc->isUndoRedoEnabled() &&
                         (doc->availableUndoSteps() > 0 || doc->availableRedoSteps() > 0);
    for (auto it = objects_.begin(); it != objects_.end();) {
        if (present.count(it->first)) {
            ++it;
            continue;
        }
        if (!it->second->IsClosed())
            it->second->Close();
        it = history ? std::next(it) : objects_.erase(it);
    }
}

void TRxCustomRichEdit::UpdateHostNames()
{
    QString application = QGuiApplication::applicationDisplayName().trimmed();
    if (application.isEmpty())
        application = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString document = title_.trimmed().isEmpty() ? application : title_;
    for (auto& [id, object] : objects_)
        object->SetHostNames(application, document);
}

void TRxCustomRichEdit::PopupVerbClick(int verb)
{
    TRichEditObject* object = SelectedObject();
    if (!object)
        return;
    if (!object->DoVerb(verb, this)) {
        const QStringList verbs = object->Verbs();
        throw EOutOfResources(QStringLiteral("%1: \"%2\" failed")
                                  .arg(object->TypeName(), verbs.value(verb))
                                  .toStdString());
    }
}

QMenu* TRxCustomRichEdit::GetPopupMenu()
{
    delete verbMenu_;
    QMenu* result = popupMenu_;
    if (!autoVerbMenu_ || !allowObjects_)
        return result;
    TRichEditObject* object = SelectedObject();
    if (!object)
        return result;
    const QStringList verbs = object->Verbs();
    if (verbs.isEmpty())
        return result;
    verbMenu_ = new QMenu(object->TypeName(), this);
    for (int i = 0; i < verbs.size(); ++i) {
        QAction* action = verbMenu_->addAction(verbs[i]);
        if (i == 0)
            verbMenu_->setDefaultAction(action);
        connect(action, &QAction::triggered, this,
                [this, i] { Guard([&] { PopupVerbClick(i); }); });
    }
    if (popupMenu_ && !popupMenu_->isEmpty()) {
        // Under the control's own menu, as a submenu named after the object;
        // both go with the verb menu at the next request.
        auto* separator = new QAction(verbMenu_);
        separator->setSeparator(true);
        popupMenu_->addAction(separator);
        popupMenu_->addAction(verbMenu_->menuAction());
        return popupMenu_;
    }
    return verbMenu_;
}

void TRxCustomRichEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click on an object runs its first verb.
    if (event->button() == Qt::LeftButton && allowObjects_) {
        const QTextCursor at = cursorForPosition(event->position().toPoint());
        for (int pos : {at.position(), at.position() - 1}) {
            if (pos < 0 || !ObjectById(objectAt(pos)))
                continue;
            SetSelection(pos, pos + 1, false);
            QPointer<TRxCustomRichEdit> self(this);
            Guard([&] { PopupVerbClick(0); });
            if (self)
                event->accept();
            return;
        }
    }
    QTextEdit::mouseDoubleClickEvent(event);
}
