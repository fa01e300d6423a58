#pragma once

#include "richtext/RxRichEd.h"

// Switches the rich edit library generation for one test and back.
class VersionScope
{
public:
    explicit VersionScope(int version) : saved_(RichLibraryVersion)
    {
        RichLibraryVersion = version;
    }
    ~VersionScope() { RichLibraryVersion = saved_; }
    VersionScope(const VersionScope&) = delete;
    VersionScope& operator=(const VersionScope&) = delete;

private:
    int saved_;
};
