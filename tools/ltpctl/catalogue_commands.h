// The five commands of a keyed catalogue (list, find, add, modify, delete), written once for
// every record type that has them. Catalogue<T> names the library calls of one record type.
#pragma once

#include <optional>
#include <type_traits>
#include <vector>

#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/state/plan.h"

namespace ltpctl {

// Specialised per value type: kFamily, kAlias, kNoun, kKeyName, kNumericKey and the static
// client calls List, Find, Add, Modify and Delete.
template <class T> struct Catalogue;

// The key as typed, checked and converted for the client call.
template <class T> struct KeyArg {
    std::string text;
    std::int32_t number = 0;

    int Check(RunContext& ctx) {
        if constexpr (Catalogue<T>::kNumericKey) {
            std::string error;
            const int rc = ParseLong(text, Catalogue<T>::kKeyName, number, error);
            return rc == kExitOk ? rc : Refuse(ctx, rc, error);
        } else {
            return CheckText(ctx, text, Catalogue<T>::kKeyName);
        }
    }
    std::optional<T> Find(ltp::Client& c) const {
        if constexpr (Catalogue<T>::kNumericKey)
            return Catalogue<T>::Find(c, number);
        else
            return Catalogue<T>::Find(c, text);
    }
    void Delete(ltp::Client& c) const {
        if constexpr (Catalogue<T>::kNumericKey)
            Catalogue<T>::Delete(c, number);
        else
            Catalogue<T>::Delete(c, text);
    }
    void Store(T& record) const {
        std::string error;
        SetField(record, RecordFields<T>().front(), text, Catalogue<T>::kKeyName, error);
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
                                            Catalogue<T>::kNoun + " '" + key.text + "'");
    record = std::move(*found);
    return kExitOk;
}

template <class T> void AddCatalogue(CLI::App& app, ActionSlot& slot) {
    using Cat = Catalogue<T>;
    CLI::App* family = FamilyCommand(
        app, Cat::kFamily, std::string("list, find, add, modify and delete ") + Cat::kNoun + "s");
    family->alias(Cat::kAlias);

    AddLeaf(family, "list", std::string("list every ") + Cat::kNoun, slot, [] {
        return [](RunContext& ctx) {
            std::vector<T> list;
            const int rc = ctx.connection.Run([&](ltp::Client& c) { list = Cat::List(c); });
            if (rc == kExitOk)
                PrintTable(ctx, ValueListTable(std::move(list)));
            return rc;
        };
    });

    {
        auto key = std::make_shared<KeyArg<T>>();
        CLI::App* find =
            AddLeaf(family, "find", std::string("show one ") + Cat::kNoun, slot, [key] {
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
        find->add_option(Cat::kKeyName, key->text, "the key")
            ->type_name(Cat::kNumericKey ? "INT" : "TEXT")
            ->required();
    }

    {
        auto key = std::make_shared<KeyArg<T>>();
        CLI::App* add = AddLeaf(family, "add", std::string("add a ") + Cat::kNoun, slot, {});
        std::shared_ptr<FieldOptions> fields = AddFieldOptions<T>(add);
        if constexpr (!Cat::kNumericKey)
            add->add_option(Cat::kKeyName, key->text, "the key")
                ->type_name(Cat::kNumericKey ? "INT" : "TEXT")
                ->required();
        add->callback([&slot, key, fields] {
            slot.action = [key, fields](RunContext& ctx) {
                T record{};
                int rc = kExitOk;
                if constexpr (!Cat::kNumericKey) {
                    rc = key->Check(ctx);
                    if (rc == kExitOk)
                        key->Store(record);
                }
                if (rc == kExitOk)
                    rc = ApplyValueOptions(ctx, *fields, record);
                if (rc == kExitOk)
                    rc = ctx.connection.Change([&](ltp::Client& c) { Cat::Add(c, record); });
                if constexpr (std::is_same_v<T, ltp::Schedule>) {
                    if (rc == kExitOk)
                        WarnAboutSchedule(ctx, record);
                }
                if constexpr (Cat::kNumericKey) {
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
        CLI::App* modify = AddLeaf(family, "modify",
                                   std::string("change fields of a ") + Cat::kNoun +
                                       "; fields not given keep their values",
                                   slot, {});
        modify->add_option(Cat::kKeyName, key->text, "the key")
            ->type_name(Cat::kNumericKey ? "INT" : "TEXT")
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
                    ctx.out << FieldDiff(std::string(Cat::kNoun) + " " + key->text, before, record)
                            << '\n';
                if (rc == kExitOk)
                    rc = ctx.connection.Change([&](ltp::Client& c) { Cat::Modify(c, record); });
                return rc;
            };
        });
    }

    {
        auto keys = std::make_shared<std::vector<std::string>>();
        auto yes = std::make_shared<bool>(false);
        CLI::App* del =
            AddLeaf(family, "delete", std::string("delete ") + Cat::kNoun + "s", slot, [keys, yes] {
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
                        if (asking &&
                            !Confirm(ctx, going,
                                     "Delete " + std::to_string(checked.size()) + " " + Cat::kNoun +
                                         (checked.size() == 1 ? "" : "s") + "?"))
                            return kExitUsage;
                    }
                    std::string done;
                    for (const KeyArg<T>& key : checked) {
                        const int rc =
                            ctx.connection.Change([&](ltp::Client& c) { key.Delete(c); });
                        if (rc != kExitOk) {
                            // It may have gone meanwhile: say exactly what did go.
                            if (!done.empty())
                                ctx.connection.Report("deleted before the failure: " + done +
                                                      "; '" + key.text + "' and after it were not");
                            return rc;
                        }
                        done += (done.empty() ? "'" : ", '") + key.text + "'";
                    }
                    return kExitOk;
                };
            });
        del->add_option(Cat::kKeyName, *keys, "the keys")
            ->type_name(Cat::kNumericKey ? "INT" : "TEXT")
            ->required();
        del->add_flag("--yes,-y", *yes, "do not ask for confirmation on a terminal");
    }
}

} // namespace ltpctl
