// Release tools for updates: the update key, the signed application folder and the feed.
#include "ToolCommand.h"

#include "QuendrilCore/CodeResources.h"
#include "QuendrilCore/Crypto.h"
#include "QuendrilCore/UpdateVerifier.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "quendril-tool: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// The private key file holds the 32-byte Ed25519 seed in Base64 on one line.
std::optional<QByteArray> readPrivateKey(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray text = file.read(4096).trimmed();
    auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    Crypto::wipe(text);
    if (!decoded || decoded.decoded.size() != 32)
        return std::nullopt;
    return decoded.decoded;
}

int keygen(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return fail(QStringLiteral("usage: update-keygen <private key file>"));
    std::optional<Crypto::Ed25519KeyPair> pair = Crypto::generateEd25519();
    if (!pair)
        return fail(QStringLiteral("could not make a key pair"));
    // Never replaces a key: losing the old one would strand every installed copy.
    const QByteArray path = QFile::encodeName(arguments[0]);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(QString(arguments[0] + u": " + QString::fromLocal8Bit(::strerror(errno))));
    QByteArray line = pair->privateKey.toBase64() + '\n';
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    Crypto::wipe(line);
    Crypto::wipe(pair->privateKey);
    if (::close(fd) != 0 || !written)
        return fail(QString(arguments[0] + u": could not be written"));
    ToolCommand::writeStandardOutput(pair->publicKey.toBase64() + '\n');
    return 0;
}

int publicKey(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return fail(QStringLiteral("usage: update-public-key <private key file>"));
    std::optional<QByteArray> key = readPrivateKey(arguments[0]);
    if (!key)
        return fail(QString(arguments[0] + u": not a private update key"));
    const std::optional<QByteArray> publicKey = Crypto::ed25519PublicKey(*key);
    Crypto::wipe(*key);
    if (!publicKey)
        return fail(QStringLiteral("not a usable key"));
    ToolCommand::writeStandardOutput(publicKey->toBase64() + '\n');
    return 0;
}

int signApp(const QStringList& arguments)
{
    if (arguments.size() != 2)
        return fail(
            QStringLiteral("usage: update-sign-app <application folder> <private key file>"));
    std::optional<QByteArray> key = readPrivateKey(arguments[1]);
    if (!key)
        return fail(QString(arguments[1] + u": not a private update key"));
    const auto signedFolder = CodeResources::sign(arguments[0], *key);
    Crypto::wipe(*key);
    if (!signedFolder)
        return fail(QString(arguments[0] + u": " + signedFolder.error().text()));
    return 0;
}

int verifyApp(const QStringList& arguments)
{
    if (arguments.size() != 2)
        return fail(QStringLiteral("usage: update-verify-app <application folder> <public key>"));
    const QByteArray publicKey = QByteArray::fromBase64(arguments[1].toLatin1());
    const auto valid = CodeResources::validate(arguments[0], publicKey);
    if (!valid)
        return fail(QString(arguments[0] + u": " + valid.error().text()));
    std::printf("valid\n");
    return 0;
}

int feed(const QStringList& arguments)
{
    if (arguments.size() != 6)
        return fail(QStringLiteral("usage: update-feed <archive> <url> <version> <build> "
                                   "<minimum glibc> <private key file>"));
    QFile archive(arguments[0]);
    if (!archive.open(QIODevice::ReadOnly))
        return fail(QString(arguments[0] + u": " + archive.errorString()));
    const QByteArray bytes = archive.readAll();
    bool buildOK = false;
    const qint64 build = arguments[3].toLongLong(&buildOK);
    if (!buildOK)
        return fail(QStringLiteral("the build must be a whole number"));
    std::optional<QByteArray> key = readPrivateKey(arguments[5]);
    if (!key)
        return fail(QString(arguments[5] + u": not a private update key"));
    const std::optional<QByteArray> signature = Crypto::ed25519Sign(*key, bytes);
    Crypto::wipe(*key);
    if (!signature)
        return fail(QStringLiteral("could not sign the archive"));
    const QJsonObject object{
        {"version", arguments[2]},
        {"build", build},
        {"minimum_macos", arguments[4]},
        {"url", arguments[1]},
        {"size", bytes.size()},
        {"sha256", UpdateVerifier::sha256Hex(bytes)},
        {"signature", QString::fromLatin1(signature->toBase64())},
    };
    ToolCommand::writeStandardOutput(QJsonDocument(object).toJson(QJsonDocument::Indented));
    return 0;
}

const ToolCommand::Registration keygenCommand{
    "update-keygen", "<private key file>: new update key pair, prints the public key", keygen};
const ToolCommand::Registration publicKeyCommand{
    "update-public-key", "<private key file>: prints its public key", publicKey};
const ToolCommand::Registration signAppCommand{
    "update-sign-app", "<app folder> <private key file>: writes the signed manifest", signApp};
const ToolCommand::Registration verifyAppCommand{
    "update-verify-app", "<app folder> <public key>: checks the signed manifest", verifyApp};
const ToolCommand::Registration feedCommand{
    "update-feed", "<zip> <url> <version> <build> <min glibc> <key file>: prints the feed", feed};

} // namespace
