#pragma once

#include <QString>
#include <QUrl>

// Which link the user's own input chose, and whether a link the engine
// reports as clicked is that one. A page's script can click any link, give
// any link the focus and dispatch any event, and the engine reports its
// clicks as the user's; so each press or Enter of the user begins a choice
// that the page's document answers: the link under the pointer at the
// press, or the link the user's own input had focused at Enter (empty for
// none). Until the answer is in, the input has chosen nothing. A choice is
// followed once, and only shortly after the user's last input: a page that
// waits and then clicks the link itself is not followed.
class TUserLinkChoice
{
public:
    // How long after the user's last input the chosen link may follow.
    static constexpr qint64 Window = 1000;

    // A press or Enter at `now` (milliseconds): the choice before it is
    // gone. Returns the serial that its answer carries.
    int Begin(qint64 now);
    // Other input of the user (a release, a key) at `now`: the choice
    // stays, its time starts again.
    void Touch(qint64 now);
    // The answer for choice `serial`: the link chosen, empty for none. An
    // answer for an earlier choice, or one given up, is ignored.
    void Answer(int serial, const QString& link);
    // No answer will count for choice `serial`: that input chose nothing.
    void GiveUp(int serial);
    // The current choice awaits its answer.
    bool Waiting() const { return waiting_; }
    // Whether a navigation to `url`, reported at `now` as a link clicked in
    // the top-level page, follows the user's choice. A followed choice is
    // used up.
    bool Follow(const QUrl& url, qint64 now);
    // Forgets the choice (the program navigates itself).
    void Clear();

private:
    int serial_ = 0;
    bool waiting_ = false;
    QString link_;
    qint64 at_ = 0;
};
