#pragma once

#include <QString>

#include <bitset>
#include <initializer_list>

// Word and number routines on 8-bit text (one character per code page 874
// byte, so positions are byte positions; positions are 1-based).

// A set of byte values used as word delimiters.
class TCharSet
{
public:
    TCharSet() = default;
    TCharSet(std::initializer_list<char> chars)
    {
        for (char c : chars)
            bits_.set(static_cast<unsigned char>(c));
    }
    bool contains(QChar c) const { return c.unicode() < 256 && bits_.test(c.unicode()); }

private:
    std::bitset<256> bits_;
};

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement);
int WordCount(const QString& text, const TCharSet& delimiters);
int WordPosition(int n, const QString& text, const TCharSet& delimiters);
QString ExtractWord(int n, const QString& text, const TCharSet& delimiters);

constexpr int IntMax(int a, int b)
{
    return a > b ? a : b;
}
constexpr int IntMin(int a, int b)
{
    return a < b ? a : b;
}
constexpr void SwapInts(int& a, int& b)
{
    const int t = a;
    a = b;
    b = t;
}
