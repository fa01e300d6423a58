#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

// A minimal HTTP/1.0 server on 127.0.0.1 for pages the tests load. Every
// request's head is kept; a path without a page gets 404.
class LoopbackHttp : public QObject
{
public:
    struct Page
    {
        QByteArray type;
        QByteArray body;
    };

    LoopbackHttp()
    {
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                serve(socket);
        });
        if (!server_.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen on 127.0.0.1");
    }

    // Requests for `path` are read and never answered (a stalled image).
    void stall(const QByteArray& path) { stalled_.append(path); }
    void addPage(const QByteArray& path, const QByteArray& body,
                 const QByteArray& type = "text/html; charset=utf-8")
    {
        pages_.insert(path, {type, body});
    }
    QString url(const QByteArray& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2")
            .arg(server_.serverPort())
            .arg(QString::fromLatin1(path));
    }
    // Heads of the requests received so far.
    QList<QByteArray> requests;
    // The head of the last request for `path`, empty when none came.
    QByteArray requestFor(const QByteArray& path) const
    {
        for (auto it = requests.rbegin(); it != requests.rend(); ++it)
            if (it->startsWith("GET " + path + " "))
                return *it;
        return {};
    }

private:
    void serve(QTcpSocket* socket)
    {
        auto* buffer = new QByteArray;
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer->left(end);
            requests.append(head);
            const QList<QByteArray> words = head.split(' ');
            const QByteArray path = words.size() > 1 ? words[1] : QByteArray("/");
            if (stalled_.contains(path))
                return;
            QByteArray response;
            if (pages_.contains(path)) {
                const Page& page = pages_[path];
                response = "HTTP/1.0 200 OK\r\nContent-Type: " + page.type +
                           "\r\nContent-Length: " + QByteArray::number(page.body.size()) +
                           "\r\nConnection: close\r\n\r\n" + page.body;
            } else {
                response =
                    "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            }
            socket->write(response);
            socket->disconnectFromHost();
        });
    }

    QTcpServer server_;
    QHash<QByteArray, Page> pages_;
    QList<QByteArray> stalled_;
};
