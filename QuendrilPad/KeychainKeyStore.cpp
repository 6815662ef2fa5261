#include "QuendrilPad/KeychainKeyStore.h"

// GLib's headers use "signals" as a name, which Qt's keywords would replace.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const SecretSchema* sheetKeySchema()
{
    static const SecretSchema schema = {
        "local.quendrilpad.SheetKey",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return &schema;
}

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GHashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using AttributesPtr = std::unique_ptr<GHashTable, GHashTableUnref>;

struct SecretValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

// A list of object references, as the search and unlock calls hand them out.
class ObjectList {
public:
    ObjectList() = default;
    explicit ObjectList(GList* list)
        : m_list(list)
    {
    }
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;
    ObjectList(ObjectList&& other) noexcept
        : m_list(std::exchange(other.m_list, nullptr))
    {
    }
    ObjectList& operator=(ObjectList&& other) noexcept
    {
        std::swap(m_list, other.m_list);
        return *this;
    }
    ~ObjectList() { g_list_free_full(m_list, g_object_unref); }

    GList* get() const { return m_list; }
    GList** out() { return &m_list; }
    bool isEmpty() const { return m_list == nullptr; }
    void append(gpointer object) { m_list = g_list_append(m_list, g_object_ref(object)); }

private:
    GList* m_list = nullptr;
};

// The cancellable shared by every call of one operation, and whether its time ran out.
struct Deadline {
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
    std::atomic<bool> expired = false;

    // The status of a failed call: the time limit when it ran out, else the call's own code.
    int statusOf(const GError* error) const
    {
        if (expired)
            return KeychainKeyStore::timedOutStatus;
        return error ? error->code : 0;
    }
};

// One operation against the Secret Service: the connection, the item's attributes and the
// deadline shared by every call it makes.
class Session {
public:
    Session(const QByteArray& service, const QByteArray& account, const Deadline& deadline)
        : m_service(service)
        , m_account(account)
        , m_deadline(deadline)
    {
    }

    Result<void, SheetKeyStoreError> open()
    {
        GError* error = nullptr;
        m_connection.reset(secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr,
                                                    SECRET_SERVICE_NONE,
                                                    m_deadline.cancellable.get(), &error));
        if (!m_connection)
            return failed(error);
        return {};
    }

    // Every item with our two attributes, whatever program made it; a locked item is unlocked
    // first and is a failure when it stays locked.
    Result<ObjectList, SheetKeyStoreError> unlockedItems()
    {
        auto items = search();
        if (!items)
            return unexpected(items.error());
        ObjectList locked;
        for (GList* node = items->get(); node; node = node->next) {
            if (secret_item_get_locked(SECRET_ITEM(node->data)))
                locked.append(node->data);
        }
        if (locked.isEmpty())
            return std::move(*items);
        if (auto unlocked = unlock(locked); !unlocked)
            return unexpected(unlocked.error());
        // The unlocked items are looked up again, so their proxies carry the new state.
        auto again = search();
        if (!again)
            return unexpected(again.error());
        for (GList* node = again->get(); node; node = node->next) {
            if (secret_item_get_locked(SECRET_ITEM(node->data)))
                return unexpected(KeychainKeyStore::failure(KeychainKeyStore::lockedStatus));
        }
        return std::move(*again);
    }

    Result<ObjectList, SheetKeyStoreError> search()
    {
        // No schema in the search, so that an item another tool made with the same
        // attributes is found too and an add never puts a second one beside it.
        GError* error = nullptr;
        const AttributesPtr attributes = this->attributes();
        ObjectList items(secret_service_search_sync(m_connection.get(), nullptr, attributes.get(),
                                                    SECRET_SEARCH_ALL, m_deadline.cancellable.get(),
                                                    &error));
        if (error)
            return failed(error);
        return items;
    }

    Result<void, SheetKeyStoreError> unlock(const ObjectList& objects)
    {
        GError* error = nullptr;
        ObjectList unlocked;
        secret_service_unlock_sync(m_connection.get(), objects.get(), m_deadline.cancellable.get(),
                                   unlocked.out(), &error);
        if (error)
            return failed(error);
        if (g_list_length(unlocked.get()) < g_list_length(objects.get()))
            return unexpected(KeychainKeyStore::failure(KeychainKeyStore::lockedStatus));
        return {};
    }

    Result<QString, SheetKeyStoreError> secretText(SecretItem* item)
    {
        GError* error = nullptr;
        if (!secret_item_load_secret_sync(item, m_deadline.cancellable.get(), &error))
            return failed(error);
        const SecretValuePtr value(secret_item_get_secret(item));
        if (!value)
            return unexpected(KeychainKeyStore::failure(0));
        gsize length = 0;
        const gchar* bytes = secret_value_get(value.get(), &length);
        if (!bytes || !g_utf8_validate(bytes, static_cast<gssize>(length), nullptr))
            return unexpected(KeychainKeyStore::failure(0));
        return QString::fromUtf8(bytes, static_cast<qsizetype>(length)).trimmed();
    }

    Result<void, SheetKeyStoreError> add(const QByteArray& bytes)
    {
        GError* error = nullptr;
        GObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
            m_connection.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE,
            m_deadline.cancellable.get(), &error));
        if (error)
            return failed(error);
        if (!collection)
            return unexpected(KeychainKeyStore::failure(KeychainKeyStore::noSuchItemStatus));
        if (secret_collection_get_locked(collection.get())) {
            ObjectList objects;
            objects.append(collection.get());
            if (auto unlocked = unlock(objects); !unlocked)
                return unlocked;
        }
        const SecretValuePtr value(secret_value_new(bytes.constData(), bytes.size(), "text/plain"));
        const AttributesPtr attributes = this->attributes();
        GObjectPtr<SecretItem> item(secret_item_create_sync(
            collection.get(), sheetKeySchema(), attributes.get(), "Quendril Pad sheet key",
            value.get(), SECRET_ITEM_CREATE_NONE, m_deadline.cancellable.get(), &error));
        if (!item)
            return failed(error);
        return {};
    }

    Result<void, SheetKeyStoreError> remove(SecretItem* item)
    {
        GError* error = nullptr;
        if (!secret_item_delete_sync(item, m_deadline.cancellable.get(), &error))
            return failed(error);
        return {};
    }

private:
    AttributesPtr attributes() const
    {
        GHashTable* table = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
        g_hash_table_insert(table, g_strdup("service"), g_strdup(m_service.constData()));
        g_hash_table_insert(table, g_strdup("account"), g_strdup(m_account.constData()));
        return AttributesPtr(table);
    }

    Unexpected<SheetKeyStoreError> failed(GError* error)
    {
        const GErrorPtr owned(error);
        return unexpected(KeychainKeyStore::failure(m_deadline.statusOf(error)));
    }

    QByteArray m_service;
    QByteArray m_account;
    const Deadline& m_deadline;
    GObjectPtr<SecretService> m_connection;
};

// Runs one operation on a thread of its own and waits at most `limit` for it. Cancelling ends
// nearly every blocking call of libsecret and GDBus at once; the few that ignore it (a bus that
// authenticates and then never answers its greeting) are left to finish on their own, with
// everything they touch owned by the thread.
template <typename T>
Result<T, SheetKeyStoreError>
runBounded(const QString& service, const QString& account, std::chrono::milliseconds limit,
           std::function<Result<T, SheetKeyStoreError>(Session&)> body)
{
    struct Shared {
        Deadline deadline;
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result<T, SheetKeyStoreError>> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, service = service.toUtf8(), account = account.toUtf8(),
                 body = std::move(body)] {
        auto result = [&] {
            Session session(service, account, shared->deadline);
            if (auto opened = session.open(); !opened)
                return Result<T, SheetKeyStoreError>(unexpected(opened.error()));
            return body(session);
        }();
        std::lock_guard lock(shared->mutex);
        shared->result.emplace(std::move(result));
        shared->done.notify_all();
    }).detach();

    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, limit, [&] { return shared->result.has_value(); })) {
        shared->deadline.expired = true;
        g_cancellable_cancel(shared->deadline.cancellable.get());
        constexpr std::chrono::seconds grace{1};
        if (!shared->done.wait_for(lock, grace, [&] { return shared->result.has_value(); }))
            return unexpected(KeychainKeyStore::failure(KeychainKeyStore::timedOutStatus));
    }
    return std::move(*shared->result);
}

Result<std::optional<QString>, SheetKeyStoreError> loadText(Session& session)
{
    auto items = session.unlockedItems();
    if (!items)
        return unexpected(items.error());
    if (items->isEmpty())
        return std::optional<QString>();
    auto text = session.secretText(SECRET_ITEM(items->get()->data));
    if (!text)
        return unexpected(text.error());
    return std::optional<QString>(*text);
}

Result<void, SheetKeyStoreError> removeAll(Session& session)
{
    auto items = session.unlockedItems();
    if (!items)
        return unexpected(items.error());
    if (items->isEmpty())
        return unexpected(KeychainKeyStore::failure(KeychainKeyStore::noSuchItemStatus));
    for (GList* node = items->get(); node; node = node->next) {
        if (auto removed = session.remove(SECRET_ITEM(node->data)); !removed)
            return removed;
    }
    return {};
}

} // namespace

KeychainKeyStore::KeychainKeyStore(QString service, QString account,
                                   std::chrono::milliseconds timeLimit)
    : m_service(std::move(service))
    , m_account(std::move(account))
    , m_timeLimit(timeLimit)
{
}

Result<std::optional<QString>, SheetKeyStoreError> KeychainKeyStore::loadKey()
{
    return runBounded<std::optional<QString>>(m_service, m_account, m_timeLimit, &loadText);
}

Result<void, SheetKeyStoreError> KeychainKeyStore::saveKey(const QString& text)
{
    // The thread gets its own copy of the bytes, never a reference into the caller.
    auto add = [bytes = text.toUtf8()](Session& session) -> Result<void, SheetKeyStoreError> {
        // libsecret's own store replaces an item silently, so the add looks first.
        auto items = session.search();
        if (!items)
            return unexpected(items.error());
        if (!items->isEmpty())
            return unexpected(failure(alreadyExistsStatus));
        return session.add(bytes);
    };
    return runBounded<void>(m_service, m_account, m_timeLimit, add);
}

Result<void, SheetKeyStoreError> KeychainKeyStore::deleteKey()
{
    return runBounded<void>(m_service, m_account, m_timeLimit, &removeAll);
}
