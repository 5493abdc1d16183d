// The five commands of a keyed family (list, find, add, modify, delete), written once for every
// family of the operations' description: its nouns, key and client calls come from there.
#pragma once

#include <optional>
#include <type_traits>
#include <vector>

#include "tools/common/operations.h"
#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/state/plan.h"

namespace ltpctl {

template <class T> constexpr const auto& FamilyOf() {
    return ltptools::FamilyOf<T>();
}
template <class T>
constexpr bool kNumericKey = std::decay_t<decltype(ltptools::FamilyOf<T>())>::kNumericKey;

// The key as typed, checked and converted for the client call.
template <class T> struct KeyArg {
    std::string text;
    std::int32_t number = 0;

    int Check(RunContext& ctx) {
        if constexpr (kNumericKey<T>) {
            std::string error;
            const int rc = ParseLong(text, FamilyOf<T>().key, number, error);
            return rc == kExitOk ? rc : Refuse(ctx, rc, error);
        } else {
            return CheckText(ctx, text, FamilyOf<T>().key);
        }
    }
    std::optional<T> Find(ltp::Client& c) const {
        if constexpr (kNumericKey<T>)
            return ltptools::FindOne<T>(c, number);
        else
            return ltptools::FindOne<T>(c, text);
    }
    void Delete(ltp::Client& c) const {
        if constexpr (kNumericKey<T>)
            ltptools::DeleteOne<T>(c, number);
        else
            ltptools::DeleteOne<T>(c, text);
    }
    void Store(T& record) const {
        std::string error;
        SetField(record, RecordFields<T>().front(), text, FamilyOf<T>().key, error);
    }
};

// "~ user bob (Text3: Operations -> Night)": what a modify changes, as a plan shows it.
template <class T>
std::string FieldDiff(const std::string& subject, const T& before, const T& after) {
    ltpstate::Step step;
    step.kind = ltpstate::ChangeKind::change;
    step.subject = subject;
    for (const FieldInfo& f : RecordFields<T>())
        if (FieldText(before, f) != FieldText(after, f))
            step.changes.push_back({f.name, FieldText(before, f), FieldText(after, f)});
    return ltpstate::Describe(step);
}

// Finds the record of the key; a lookup that finds nothing reports the server's words.
template <class T> int FindRecord(RunContext& ctx, const KeyArg<T>& key, T& record) {
    std::optional<T> found;
    const int rc = ctx.connection.Run([&](ltp::Client& c) { found = key.Find(c); });
    if (rc != kExitOk)
        return rc;
    if (!found)
        return ctx.connection.ReportMissing(std::string("the server has no ") +
                                            FamilyOf<T>().singular + " '" + key.text + "'");
    record = std::move(*found);
    return kExitOk;
}

// The family's command with its other names ("user", "mtp"), hidden from the help.
CLI::App* FamilyCommandOf(CLI::App& app, const char* plural, const char* aliases,
                          const std::string& description);

// A family verb's help, from the description.
template <class T> std::string VerbHelp(ltptools::Verb verb) {
    return ltptools::FamilyVerbWords(FamilyOf<T>(), verb).summary;
}

template <class T> void AddCatalogue(CLI::App& app, ActionSlot& slot) {
    using ltptools::Verb;
    const auto& row = FamilyOf<T>();
    constexpr bool kNumeric = kNumericKey<T>;
    CLI::App* family =
        FamilyCommandOf(app, row.plural, row.aliases,
                        std::string(row.Has(Verb::find) ? "list, find, add, modify and delete "
                                                        : "list, add, modify and delete ") +
                            row.singular + "s");

    AddLeaf(family, "list", VerbHelp<T>(Verb::list), slot, [] {
        return [](RunContext& ctx) {
            return PrintList<T>(
                ctx, [](ltp::Client& c) { return ltptools::ListAll<T>(c); },
                [](ltp::Client& c, const std::function<void(const T&)>& each) {
                    ltptools::WalkAll<T>(c, each);
                });
        };
    });

    {
        auto key = std::make_shared<KeyArg<T>>();
        CLI::App* find = AddLeaf(family, "find", VerbHelp<T>(Verb::find), slot, [key] {
            return [key](RunContext& ctx) {
                int rc = key->Check(ctx);
                T record;
                if (rc == kExitOk)
                    rc = FindRecord(ctx, *key, record);
                if (rc == kExitOk)
                    PrintTable(ctx, ValueRecordTable(record));
                return rc;
            };
        });
        find->add_option(row.key, key->text, "the key")
            ->type_name(kNumeric ? "INT" : "TEXT")
            ->required();
    }

    {
        auto key = std::make_shared<KeyArg<T>>();
        CLI::App* add = AddLeaf(family, "add", VerbHelp<T>(Verb::add), slot, {});
        std::shared_ptr<FieldOptions> fields = AddFieldOptions<T>(add);
        if constexpr (!kNumeric)
            add->add_option(row.key, key->text, "the key")->type_name("TEXT")->required();
        add->callback([&slot, key, fields] {
            slot.action = [key, fields](RunContext& ctx) {
                T record{};
                int rc = kExitOk;
                if constexpr (!kNumeric) {
                    rc = key->Check(ctx);
                    if (rc == kExitOk)
                        key->Store(record);
                }
                if (rc == kExitOk)
                    rc = ApplyValueOptions(ctx, *fields, record);
                // The new number is shown, so that add waits for its answer.
                const auto add = [&](ltp::Client& c) { ltptools::AddOne<T>(c, record); };
                if (rc == kExitOk && std::decay_t<decltype(FamilyOf<T>())>::kServerKey)
                    rc = ctx.connection.ChangeNow(add);
                else if (rc == kExitOk)
                    rc = ctx.connection.Change(add);
                if constexpr (std::is_same_v<T, ltp::Schedule>) {
                    if (rc == kExitOk)
                        WarnAboutSchedule(ctx, record);
                }
                if constexpr (kNumeric) {
                    // The server numbers new programs and schedules; show the number it chose
                    // (a dry run has none).
                    if (rc == kExitOk && !ctx.connection.Settings().dryRun)
                        PrintTable(ctx,
                                   ValueTable(RecordFields<T>().front().name,
                                              FieldText(record, RecordFields<T>().front()), true));
                }
                return rc;
            };
        });
    }

    {
        auto key = std::make_shared<KeyArg<T>>();
        CLI::App* modify =
            AddLeaf(family, "modify",
                    VerbHelp<T>(Verb::modify) + "; fields not given keep their values", slot, {});
        modify->add_option(row.key, key->text, "the key")
            ->type_name(kNumeric ? "INT" : "TEXT")
            ->required();
        std::shared_ptr<FieldOptions> fields = AddFieldOptions<T>(modify);
        modify->callback([&slot, key, fields] {
            slot.action = [key, fields](RunContext& ctx) {
                T record;
                int rc = key->Check(ctx);
                if (rc == kExitOk)
                    rc = FindRecord(ctx, *key, record);
                const T before = record;
                if (rc == kExitOk)
                    rc = ApplyValueOptions(ctx, *fields, record);
                if (rc == kExitOk && ctx.connection.Settings().dryRun)
                    ctx.out << FieldDiff(std::string(FamilyOf<T>().singular) + " " + key->text,
                                         before, record)
                            << '\n';
                if (rc == kExitOk)
                    rc = ctx.connection.Change(
                        [&](ltp::Client& c) { ltptools::ModifyOne<T>(c, record); });
                return rc;
            };
        });
    }

    {
        auto keys = std::make_shared<std::vector<std::string>>();
        auto yes = std::make_shared<bool>(false);
        // Several keys at once: the help says so, where the API's verb deletes one.
        const std::string help = std::string("delete ") + row.singular + "s";
        CLI::App* del = AddLeaf(family, "delete", help, slot, [keys, yes] {
            return [keys, yes](RunContext& ctx) -> int {
                std::vector<KeyArg<T>> checked(keys->size());
                for (size_t i = 0; i < keys->size(); ++i) {
                    checked[i].text = (*keys)[i];
                    if (const int rc = checked[i].Check(ctx); rc != kExitOk)
                        return rc;
                }
                // Several keys are all looked up first, so that a missing one stops the
                // command before anything is gone; on a terminal they are shown too.
                const bool asking = !*yes && AsksForConfirmation(ctx);
                if (asking || checked.size() > 1) {
                    ResultTable going;
                    going.columns = RecordColumns<T>();
                    for (const KeyArg<T>& key : checked) {
                        T record;
                        const int rc = FindRecord(ctx, key, record);
                        if (rc != kExitOk)
                            return rc;
                        going.rows.push_back(ValueRow(record));
                    }
                    if (asking && !Confirm(ctx, going,
                                           "Delete " + std::to_string(checked.size()) + " " +
                                               FamilyOf<T>().singular +
                                               (checked.size() == 1 ? "" : "s") + "?"))
                        return kExitUsage;
                }
                std::string done;
                for (const KeyArg<T>& key : checked) {
                    // Several keys stop at the first refusal: each waits for its answer.
                    const auto del = [&](ltp::Client& c) { key.Delete(c); };
                    const int rc = checked.size() > 1 ? ctx.connection.ChangeNow(del)
                                                      : ctx.connection.Change(del);
                    if (rc != kExitOk) {
                        // It may have gone meanwhile: say exactly what did go.
                        if (!done.empty())
                            ctx.connection.Report("deleted before the failure: " + done + "; '" +
                                                  key.text + "' and after it were not");
                        return rc;
                    }
                    done += (done.empty() ? "'" : ", '") + key.text + "'";
                }
                return kExitOk;
            };
        });
        del->add_option(row.key, *keys, "the keys")
            ->type_name(kNumeric ? "INT" : "TEXT")
            ->required();
        del->add_flag("--yes,-y", *yes, "do not ask for confirmation on a terminal");
    }
}

} // namespace ltpctl
