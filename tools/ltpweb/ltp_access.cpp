#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {

void ThrowApiError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ltp::Refused& e) {
        int code = e.status();
        if (code == 404)
            throw ApiError(404, "not_found", e.reason(), code);
        if (code == 409)
            throw ApiError(409, "conflict", e.reason(), code);
        if (code == 401 || code == 403)
            throw ApiError(403, "forbidden", e.reason(), code);
        throw ApiError(422, "refused", e.reason(), code);
    } catch (const ltp::TransportError& e) {
        if (e.kind() == ltp::TransportError::Kind::timeout)
            throw ApiError(504, "timeout", "the LTP server did not answer in time");
        if (e.kind() == ltp::TransportError::Kind::limit)
            throw ApiError(502, "too_large", e.what());
        throw ApiError(502, "unreachable",
                       std::string("the LTP server cannot be reached (") +
                           ltp::to_string(e.kind()) + ")");
    } catch (const ltp::InvalidInput& e) {
        throw ApiError(422, "invalid_input",
                       "\"" + e.argument() + "\" holds a character the server cannot carry");
    } catch (const ltp::ProtocolError& e) {
        throw ApiError(502, "protocol", e.what());
    } catch (const ltptools::RecordJsonError& e) {
        throw BadRequest(e.what());
    }
}

std::shared_ptr<SessionData> LtpGateway::SignIn(const std::string& user,
                                                const std::string& password) {
    std::string key = user + '\0' + password;
    std::shared_ptr<LtpPool> pool;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_pools.begin(); it != m_pools.end();)
            it = it->second.expired() ? m_pools.erase(it) : std::next(it);
        pool = m_pools[key].lock();
        if (!pool) {
            ltp::Options options = m_server;
            options.user = user;
            options.password = password;
            LtpPoolUse* use = &m_use;
            // The count of open connections follows the pool's life, whoever holds it last.
            pool = std::shared_ptr<LtpPool>(new LtpPool(options, m_size), [use](LtpPool* p) {
                use->open -= static_cast<long>(p->size);
                delete p;
            });
            m_use.open += static_cast<long>(m_size);
            m_pools[key] = pool;
        }
    }
    auto session = std::make_shared<LtpSession>(pool, m_use);
    try {
        // The server checks the credentials of every request; the system information is the
        // smallest answer every administrator may read. A pool that is already alive is asked
        // too, so that a password changed since is noticed.
        ltp::Pool::Lease lease = pool->pool.acquire();
        lease->sys_info();
    } catch (const ltp::Refused& e) {
        throw ApiError(401, "unauthorized", "the LTP server refused the sign-in: " + e.reason(),
                       e.status());
    } catch (...) {
        ThrowApiError(std::current_exception());
    }
    return session;
}

double QueryDate(const Call& call, const std::string& name, double fallback) {
    auto it = call.query.find(name);
    if (it == call.query.end() || it->second.empty())
        return fallback;
    double days = 0;
    std::string error;
    if (!ltptools::ParseIsoDate(it->second, days, error))
        throw BadRequest("query parameter \"" + name + "\": " + error);
    return days;
}

std::string ZonedDate(const std::string& utc) {
    if (utc.size() == 10)
        return utc + "T00:00:00Z";
    if (utc.size() == 19 && utc[10] == 'T')
        return utc + "Z";
    return utc;
}

} // namespace ltpweb

namespace ltpweb {

Route Described(const ltptools::OperationWords& words, const std::string& tag, Handler handler,
                std::vector<BodyField> body, std::vector<QueryParam> query) {
    std::string summary = words.summary;
    if (!summary.empty() && summary[0] >= 'a' && summary[0] <= 'z')
        summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
    Route r{words.method,     words.path,        tag, summary, std::move(body),
            std::move(query), std::move(handler)};
    r.operation = words.name;
    return r;
}

Route Described(ltptools::Op op, Handler handler, std::vector<BodyField> body,
                std::vector<QueryParam> query) {
    const ltptools::OperationWords words = ltptools::RowWords(ltptools::Operation(op));
    return Described(words, words.command.substr(0, words.command.find(' ')), std::move(handler),
                     std::move(body), std::move(query));
}

void AddOldPaths(std::vector<Route>& routes) {
    for (const ltptools::OperationRow& row : ltptools::kOperations) {
        if (!*row.oldPath)
            continue;
        for (std::size_t i = 0; i < routes.size(); ++i) {
            if (routes[i].operation != row.name)
                continue;
            Route old = routes[i];
            old.path = row.oldPath;
            old.summary = "Earlier path of " + routes[i].path + ": " + routes[i].summary;
            old.operation = std::string(row.name) + "_at_earlier_path";
            old.deprecated = true;
            routes.push_back(std::move(old));
            break;
        }
    }
}

} // namespace ltpweb
