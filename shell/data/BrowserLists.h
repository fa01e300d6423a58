#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The rules of a browser window's addresses, suggestions and back list,
// apart from the widgets so that tables can drive them.

// The address that a text given as an address stands for, as the engine
// loads it: a text with a scheme as it is ("telnet:host", "about:blank",
// "file:/x"); an absolute path as a file address; any other text as a web
// address, "http://" first ("www.example.com", "ftp.example.com",
// "localhost:8080", "192.168.1.1:8080/x": a host with a port has no
// scheme). The text keeps its letter case; blanks around it go.
QString TypedAddress(const QString& text);

// The history entries, in history order, that contain `text` (letter case
// counts); an empty text matches nothing.
QStringList URLSuggestions(const QStringList& history, const QString& text);
// Whether a number of matches is shown as a list: 1 to 20 are, more are not.
bool ShowsSuggestions(qsizetype matches);

// A key typed into the visible suggestion list.
struct TSuggestionKey
{
    bool consumed = false;     // the list box does not see the key
    bool listVisible = true;   // the list after the key
    QStringList items;         // its entries
    QString addressText;       // the address box text after the key
    bool focusAddress = false; // the address box takes the focus, no selection
    bool navigate = false;     // go to `navigateTo`
    QString navigateTo;
};
TSuggestionKey SuggestionKeyPress(const QStringList& history, const QString& addressText,
                                  QChar key);

// Adds a completed page to the back list (newest first, at most 20 pairs).
// A pair already held stays where it is; an empty address or title is not
// added.
void AddToBackList(QStringList& urls, QStringList& titles, const QString& url,
                   const QString& title);
constexpr int MaxBackList = 20;
