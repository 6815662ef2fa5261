#include "QuendrilPad/UpdateFetch.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace UpdateFetch {

QString plainWords(const QString& description)
{
    qsizetype begin = 0;
    qsizetype end = description.size();
    const auto trimmed = [](QChar c) { return c == u'.' || c == u' '; };
    while (begin < end && trimmed(description[begin]))
        ++begin;
    while (end > begin && trimmed(description[end - 1]))
        --end;
    QString words = description.mid(begin, end - begin);
    if (!words.isEmpty())
        words[0] = words[0].toLower();
    return words;
}

namespace {

Result<Answer, QString> readFile(const QUrl& url, qint64 limit)
{
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return unexpected(plainWords(file.errorString()));
    Answer answer;
    answer.bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        return unexpected(plainWords(file.errorString()));
    if (answer.bytes.size() > limit) {
        answer.bytes.truncate(limit);
        answer.tooLong = true;
    }
    return answer;
}

} // namespace

Result<Answer, QString> fetch(const QUrl& url, qint64 limit, const QString& version,
                              const std::atomic_bool& cancelled, const Timeouts& timeouts)
{
    if (url.isLocalFile())
        return readFile(url, limit);

    // A manager of its own per fetch: nothing learnt here (cookies, credentials, connections)
    // outlives the check, and nothing is cached on disk.
    QNetworkAccessManager manager;
    manager.setCache(nullptr);
    manager.setStrictTransportSecurityEnabled(false);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString(u"Quendril Pad/" + version));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);

    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QEventLoop loop;
    QTimer idle;
    QTimer whole;
    QTimer poll;
    idle.setSingleShot(true);
    whole.setSingleShot(true);
    bool timedOut = false;
    Answer answer;

    const auto statusIsNotOK = [&reply] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        return status.isValid() && status.toInt() != 200;
    };
    const auto stop = [&] {
        if (reply->isRunning())
            reply->abort();
        loop.quit();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        if (statusIsNotOK())
            stop();
        // A declared length past the bound need not be received to be refused.
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit) {
            answer.tooLong = true;
            stop();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        idle.start(timeouts.requestMs);
        if (statusIsNotOK())
            return stop();
        answer.bytes += reply->read(limit + 1 - answer.bytes.size());
        if (answer.bytes.size() > limit) {
            answer.bytes.truncate(limit);
            answer.tooLong = true;
            stop();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&idle, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        stop();
    });
    QObject::connect(&whole, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        stop();
    });
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (cancelled.load())
            stop();
    });
    idle.start(timeouts.requestMs);
    whole.start(timeouts.resourceMs);
    poll.start(100);
    if (!reply->isFinished())
        loop.exec();

    if (statusIsNotOK()) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return unexpected(QString(u"the server answered " + QString::number(status)));
    }
    if (answer.tooLong)
        return answer;
    if (cancelled.load())
        return unexpected(QStringLiteral("the check was stopped"));
    if (timedOut)
        return unexpected(QStringLiteral("the request timed out"));
    if (reply->error() != QNetworkReply::NoError)
        return unexpected(plainWords(reply->errorString()));
    answer.bytes += reply->read(limit + 1 - answer.bytes.size());
    if (answer.bytes.size() > limit) {
        answer.bytes.truncate(limit);
        answer.tooLong = true;
    }
    return answer;
}

} // namespace UpdateFetch
