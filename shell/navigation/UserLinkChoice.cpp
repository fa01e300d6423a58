#include "shell/navigation/UserLinkChoice.h"

int TUserLinkChoice::Begin(qint64 now)
{
    ++serial_;
    waiting_ = true;
    link_.clear();
    at_ = now;
    return serial_;
}

void TUserLinkChoice::Touch(qint64 now)
{
    at_ = now;
}

void TUserLinkChoice::Answer(int serial, const QString& link)
{
    if (serial != serial_ || !waiting_)
        return;
    waiting_ = false;
    link_ = link;
}

void TUserLinkChoice::GiveUp(int serial)
{
    if (serial != serial_ || !waiting_)
        return;
    waiting_ = false;
    link_.clear();
}

bool TUserLinkChoice::Follow(const QUrl& url, qint64 now)
{
    if (waiting_ || link_.isEmpty() || now - at_ > Window || now < at_)
        return false;
    const QUrl chosen(link_);
    if (!chosen.isValid() || chosen != url)
        return false;
    link_.clear();
    return true;
}

void TUserLinkChoice::Clear()
{
    ++serial_;
    waiting_ = false;
    link_.clear();
}
