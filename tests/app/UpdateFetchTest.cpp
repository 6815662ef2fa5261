#include "QuendrilPad/UpdateFetch.h"

#include "TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A server on 127.0.0.1 that answers every request with `head`, then `body`, then, when
// `endless`, more bytes for as long as the client reads.
class LocalServer {
public:
    LocalServer(QByteArray head, QByteArray body, bool endless = false)
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, [=, this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, this] {
                m_request += socket->readAll();
                if (!m_request.contains("\r\n\r\n") || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                socket->write(head + "\r\n" + body);
                if (endless)
                    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
                        if (socket->bytesToWrite() < 65536)
                            socket->write(QByteArray(65536, 'z'));
                    });
                else
                    socket->disconnectFromHost();
            });
        });
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(m_server.serverPort()));
    }
    const QByteArray& request() const { return m_request; }

private:
    QTcpServer m_server;
    QByteArray m_request;
};

// Fetches on a worker thread, as the updater does, while this thread serves.
Result<UpdateFetch::Answer, QString> fetchInBackground(const QUrl& url, qint64 limit)
{
    auto result = std::make_shared<std::optional<Result<UpdateFetch::Answer, QString>>>();
    std::atomic_bool cancelled = false;
    std::unique_ptr<QThread> worker(QThread::create([&, result] {
        *result = UpdateFetch::fetch(url, limit, QStringLiteral("1.0"), cancelled);
    }));
    worker->start();
    QDeadlineTimer deadline(30'000);
    while (!worker->isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!worker->isFinished()) {
        cancelled = true;
        worker->wait();
    }
    return result->value_or(unexpected(QStringLiteral("did not finish")));
}

} // namespace

TEST(UpdateFetch, AnAnswerArrivesWholeWithOurUserAgent)
{
    LocalServer server("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n", "hello");
    const auto answer = fetchInBackground(server.url(), 100);
    ASSERT_TRUE(answer) << answer.error().toStdString();
    EXPECT_EQ(answer->bytes, "hello");
    EXPECT_FALSE(answer->tooLong);
    EXPECT_TRUE(server.request().contains("User-Agent: Quendril Pad/1.0\r\n"))
        << server.request().constData();
}

TEST(UpdateFetch, AnswersPastTheBoundStopThere)
{
    struct Row {
        const char* name;
        QByteArray head;
        QByteArray body;
        bool endless;
    };
    const Row rows[] = {
        {"endless answer", "HTTP/1.1 200 OK\r\nConnection: close\r\n", "", true},
        {"declared too long", "HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n", "", true},
        {"one byte too many", "HTTP/1.1 200 OK\r\nConnection: close\r\n", QByteArray(1001, 'a'),
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LocalServer server(row.head, row.body, row.endless);
        const auto answer = fetchInBackground(server.url(), 1000);
        ASSERT_TRUE(answer) << answer.error().toStdString();
        EXPECT_TRUE(answer->tooLong);
        EXPECT_LE(answer->bytes.size(), 1000);
    }
    LocalServer exact("HTTP/1.1 200 OK\r\nConnection: close\r\n", QByteArray(1000, 'a'));
    const auto answer = fetchInBackground(exact.url(), 1000);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->tooLong);
    EXPECT_EQ(answer->bytes.size(), 1000);
}

TEST(UpdateFetch, FailuresReadAsTheEndOfASentence)
{
    LocalServer missing("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\nConnection: close\r\n",
                        "no!");
    EXPECT_EQ(fetchInBackground(missing.url(), 100).error(), "the server answered 404");
    LocalServer broken("HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n", "");
    EXPECT_EQ(fetchInBackground(broken.url(), 100).error(), "the server answered 500");

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    EXPECT_EQ(
        fetchInBackground(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)), 100).error(),
        "connection refused");

    TempDir temp;
    const QString file = temp.write(QStringLiteral("feed.json"), "12345");
    EXPECT_EQ(fetchInBackground(QUrl::fromLocalFile(file), 5)->bytes, "12345");
    EXPECT_TRUE(fetchInBackground(QUrl::fromLocalFile(file), 4)->tooLong);
    EXPECT_EQ(
        fetchInBackground(QUrl::fromLocalFile(temp.filePath(QStringLiteral("none"))), 4).error(),
        "no such file or directory");

    EXPECT_EQ(UpdateFetch::plainWords(QStringLiteral(" . Host example.org not found. ")),
              "host example.org not found");
    EXPECT_EQ(UpdateFetch::plainWords(QStringLiteral("...")), "");
}
