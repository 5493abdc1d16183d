// users, groups, programs, channels, schedules, globals and mtp-servers: list, find, add, modify,
// delete. One template serves every family of the operations' description.
#include "tools/ltpctl/catalogue_commands.h"
#include "tools/ltpctl/commands.h"

namespace ltpctl {

CLI::App* FamilyCommandOf(CLI::App& app, const char* plural, const char* aliases,
                          const std::string& description) {
    CLI::App* family = FamilyCommand(app, plural, description);
    const std::string words = aliases;
    for (std::size_t at = 0; at < words.size();) {
        std::size_t end = words.find(' ', at);
        if (end == std::string::npos)
            end = words.size();
        family->alias(words.substr(at, end - at));
        at = end + 1;
    }
    return family;
}

void AddCatalogueCommands(CLI::App& app, ActionSlot& slot) {
    ltptools::ForEachFamily([&](const auto& row) {
        AddCatalogue<typename std::decay_t<decltype(row)>::Value>(app, slot);
    });
}

} // namespace ltpctl
