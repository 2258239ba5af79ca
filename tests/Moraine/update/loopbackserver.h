#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 that answers GET requests from a route
// table for real update checks; with a TLS configuration it speaks HTTPS.
class LoopbackServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        enum class Mode {
            Normal, // status, headers, Content-Length if declared, body, then close
            Hang,   // read the request, never answer
            Hold,   // answer only when release() is called
            Trickle, // announce `streamBytes`, then send one byte every 50 ms
        };
        int status = 200;
        QByteArray reason = "OK";
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        Mode mode = Mode::Normal;
        qint64 streamBytes = 0;
        bool declareLength = true;
    };

    explicit LoopbackServer(const QSslConfiguration &tls = {});

    /// "http://127.0.0.1:PORT" + path (or https).
    [[nodiscard]] QString url(const QString &path) const;

    void route(const QString &path, Response response) { m_routes.insert(path, std::move(response)); }
    void page(const QString &path, const QByteArray &body);
    [[nodiscard]] int requestCount(const QString &path) const { return m_requests.value(path); }
    /// Sends the held answers.
    void release();
    /// Connections that the server has seen closed.
    [[nodiscard]] int closedConnections() const { return m_closed; }

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Response &response);

    QTcpServer *m_server;
    QHash<QString, Response> m_routes;
    QHash<QString, int> m_requests;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<QPair<QPointer<QTcpSocket>, Response>> m_held;
    int m_closed = 0;
};
