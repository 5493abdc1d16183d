#include "tools/common/operations.h"

namespace ltptools {

std::optional<ltp::MtpServer> FindMtpServerByName(ltp::Client& client, std::string_view name) {
    for (ltp::MtpServer& server : client.mtp_servers())
        if (server.mtp_svr_name == name)
            return std::move(server);
    return std::nullopt;
}

OperationWords RowWords(const OperationRow& row) {
    OperationWords w{row.name, row.call,    row.command, row.method,
                     row.path, row.summary, {},          row.oldPath};
    const std::string aliases = row.aliases;
    for (std::size_t at = 0; at < aliases.size();) {
        std::size_t end = aliases.find(';', at);
        if (end == std::string::npos)
            end = aliases.size();
        w.aliases.push_back(aliases.substr(at, end - at));
        at = end + 1;
    }
    return w;
}

std::vector<OperationWords> AllOperations() {
    std::vector<OperationWords> all;
    ForEachFamily([&](const auto& row) {
        for (const Verb verb : kVerbs)
            if (row.Has(verb))
                all.push_back(FamilyVerbWords(row, verb));
    });
    for (const OperationRow& row : kOperations)
        all.push_back(RowWords(row));
    return all;
}

} // namespace ltptools
