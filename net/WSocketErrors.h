#pragma once

#include <QString>

#include <stdexcept>

// The exception of the socket library and the English texts of WinSock
// error numbers.

class ESocketException : public std::runtime_error
{
public:
    explicit ESocketException(const QString& message);
    QString Message() const;
    // The class name, for texts that name the exception.
    static constexpr const char* ClassName = "ESocketException";
};

QString SocketErrorText(int Code);
// "Error <n> in function <label>" CR LF <text>.
QString SocketErrorMessage(int Code, const QString& FunctionName);
