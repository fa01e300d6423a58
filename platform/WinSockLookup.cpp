// Name lookups off the GUI thread: a worker resolves, the GUI thread
// delivers the result to the window that asked.
#include "platform/WinSockLayer_p.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>

#include <netdb.h>

#include <functional>
#include <utility>

namespace WinSock {
namespace Layer {

namespace {

// Name lookups: a worker thread resolves, the GUI thread delivers.
struct Lookup
{
    QPointer<HiddenWindow> window;
    quint32 msg = 0;
};

QHash<int, Lookup>& lookups()
{
    static QHash<int, Lookup> table;
    return table;
}

int nextLookup = 0;

void deliverLookup(int handle, int error, const QStringList& result)
{
    auto it = lookups().find(handle);
    if (it == lookups().end())
        return;
    const Lookup lookup = *it;
    lookups().erase(it);
    PostMessage(lookup.window, lookup.msg, quintptr(handle), WSAMAKESELECTREPLY(0, error),
                QVariant(result));
}

int gaiToWsa(int rc)
{
    switch (rc) {
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return WSANO_DATA;
#endif
    default:
        return WSAHOST_NOT_FOUND;
    }
}

int resolveName(const QByteArray& name, QList<quint32>* out)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(name.constData(), nullptr, &hints, &res);
    if (rc != 0)
        return gaiToWsa(rc);
    for (addrinfo* p = res; p; p = p->ai_next) {
        const quint32 a = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        if (!out->contains(a))
            out->append(a);
    }
    ::freeaddrinfo(res);
    return out->isEmpty() ? WSANO_DATA : 0;
}

// The object results come home through; it lives on the GUI thread as long
// as the application does, and a worker finding it gone drops its result.
QMutex sinkLock;
QObject* lookupSink = nullptr;

// The layer's own workers. A worker ends as soon as it has nothing to do, so
// that none outlives the application with the resolver's state of its thread.
QThreadPool* pool = nullptr;
QThreadPool* lookupPool()
{
    if (!pool) {
        pool = new QThreadPool;
        pool->setExpiryTimeout(0);
    }
    return pool;
}

int startLookup(HiddenWindow* window, quint32 msg, std::function<int(QStringList*)> work)
{
    if (!window || !haveEventLoop()) {
        WSASetLastError(WSAEINVAL);
        return 0;
    }
    {
        QMutexLocker lock(&sinkLock);
        if (!lookupSink)
            lookupSink = new QObject;
    }
    int handle = ++nextLookup;
    if (handle <= 0)
        handle = nextLookup = 1;
    lookups().insert(handle, {window, msg});
    lookupPool()->start([handle, work] {
        QStringList result;
        const int error = work(&result);
        QMutexLocker lock(&sinkLock);
        if (lookupSink)
            QMetaObject::invokeMethod(
                lookupSink, [handle, error, result] { deliverLookup(handle, error, result); },
                Qt::QueuedConnection);
    });
    return handle;
}

} // namespace

void finishLookups()
{
    lookups().clear();
    {
        QMutexLocker lock(&sinkLock);
        delete std::exchange(lookupSink, nullptr);
    }
    // Lookups still running finish (their results go nowhere); one that the
    // resolver holds up longer is left to the end of the process.
    if (pool && pool->waitForDone(2000))
        delete std::exchange(pool, nullptr);
}

} // namespace Layer

using namespace Layer;

int WSAAsyncGetHostByName(HiddenWindow* window, quint32 msg, const QByteArray& name)
{
    return startLookup(window, msg, [name](QStringList* result) {
        QList<quint32> addresses;
        const int error = resolveName(name, &addresses);
        for (quint32 a : addresses)
            result->append(QString::fromLatin1(inet_ntoa(a)));
        return error;
    });
}

int WSAAsyncGetHostByAddr(HiddenWindow* window, quint32 msg, quint32 address)
{
    return startLookup(window, msg, [address](QStringList* result) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = address;
        char host[NI_MAXHOST] = {};
        const int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host,
                                     nullptr, 0, NI_NAMEREQD);
        if (rc != 0)
            return gaiToWsa(rc);
        result->append(QString::fromLatin1(host));
        return 0;
    });
}

int WSACancelAsyncRequest(int handle)
{
    if (!lookups().remove(handle))
        return setError(WSAEINVAL);
    return 0;
}

bool gethostbyname(const QByteArray& name, QList<quint32>* addresses)
{
    const int error = resolveName(name, addresses);
    WSASetLastError(error);
    return error == 0;
}

} // namespace WinSock
