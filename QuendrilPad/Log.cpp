#include "QuendrilPad/Log.h"

#include <QByteArray>

#include <mutex>

#include <sys/stat.h>
#include <sys/uio.h>
#include <syslog.h>
#include <systemd/sd-journal.h>

namespace {

std::mutex sinkLock;
Log::Sink& currentSink()
{
    static Log::Sink sink;
    return sink;
}

bool journalRunning()
{
    static const bool running = [] {
        struct stat info {};
        return ::stat("/run/systemd/journal/socket", &info) == 0 && S_ISSOCK(info.st_mode);
    }();
    return running;
}

void sendToJournal(LogCategory category, int priority, const QByteArray& message)
{
    const QByteArray fields[] = {
        "MESSAGE=" + message,
        QByteArray("PRIORITY=") + QByteArray::number(priority),
        "SYSLOG_IDENTIFIER=quendril-pad",
        "QUENDRIL_SUBSYSTEM=local.quendrilpad",
        QByteArray("QUENDRIL_CATEGORY=") + Log::categoryName(category),
    };
    iovec vector[std::size(fields)];
    for (size_t i = 0; i < std::size(fields); ++i) {
        vector[i].iov_base = const_cast<char*>(fields[i].constData());
        vector[i].iov_len = size_t(fields[i].size());
    }
    sd_journal_sendv(vector, int(std::size(fields)));
}

void sendToSyslog(LogCategory category, int priority, const QByteArray& message)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("quendril-pad", LOG_PID, LOG_USER); });
    syslog(priority, "[%s] %s", Log::categoryName(category), message.constData());
}

} // namespace

namespace Log {

const char* categoryName(LogCategory category)
{
    switch (category) {
    case LogCategory::app:
        return "app";
    case LogCategory::update:
        return "update";
    case LogCategory::perf:
        return "perf";
    }
    return "app";
}

void write(LogCategory category, const QString& line)
{
    write(category, LogLevel::notice, line);
}

void write(LogCategory category, LogLevel level, const QString& line)
{
    const int priority = level == LogLevel::error ? LOG_ERR : LOG_NOTICE;
    {
        std::lock_guard guard(sinkLock);
        if (const Sink& sink = currentSink()) {
            sink(category, line);
            return;
        }
    }
    const QByteArray message = line.toUtf8();
    if (journalRunning())
        sendToJournal(category, priority, message);
    else
        sendToSyslog(category, priority, message);
}

void setSink(Sink sink)
{
    std::lock_guard guard(sinkLock);
    currentSink() = std::move(sink);
}

} // namespace Log
