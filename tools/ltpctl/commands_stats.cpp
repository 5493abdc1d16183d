// stats: usage of programs by a user, of one program, and the most used programs, over a period.
#include "tools/ltpctl/commands.h"

#include "tools/common/dates.h"

namespace ltpctl {
namespace {

struct Period {
    std::string subject;
    std::string from = "1899-12-30";
    std::string to = "9999-12-31";
    int count = 10;
    double start = 0;
    double stop = 0;

    int Check(RunContext& ctx) {
        std::string error;
        if (!ltptools::ParseIsoDate(from, start, error))
            return Refuse(ctx, kExitUsage, "--from: " + error);
        if (!ltptools::ParseIsoDate(to, stop, error))
            return Refuse(ctx, kExitUsage, "--to: " + error);
        int rc = CheckDecimal(start, "--from", error);
        if (rc == kExitOk)
            rc = CheckDecimal(stop, "--to", error);
        return rc == kExitOk ? rc : Refuse(ctx, rc, error);
    }
};

void AddPeriodOptions(CLI::App* leaf, Period& p) {
    leaf->add_option("--from", p.from, "start of the period, ISO-8601 date (default: all time)")
        ->type_name("DATE");
    leaf->add_option("--to", p.to, "end of the period, ISO-8601 date (default: all time)")
        ->type_name("DATE");
    leaf->footer(kDateHelp);
}

} // namespace

void AddStatsCommands(CLI::App& app, ActionSlot& slot) {
    CLI::App* family = FamilyCommand(app, "stats", "usage statistics over a period");
    family->alias("statistics");

    {
        auto p = std::make_shared<Period>();
        CLI::App* leaf =
            AddLeaf(family, "user", "the programs a user used in the period", slot, [p] {
                return [p](RunContext& ctx) {
                    int rc = CheckText(ctx, p->subject, "USERNAME", sizeof(tagUser::UserID));
                    if (rc == kExitOk)
                        rc = p->Check(ctx);
                    OwnedList<PROGRAMSTATISTIC> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Call([&](CLTPCreater& c) {
                            return c.GetUserProgramStatistics(p->subject.c_str(), p->start, p->stop,
                                                              list.get());
                        });
                    if (rc == kExitOk)
                        PrintTable(ctx, ListTable(list.list()));
                    return rc;
                };
            });
        leaf->add_option("USERNAME", p->subject, "the user")->required();
        AddPeriodOptions(leaf, *p);
    }

    {
        auto p = std::make_shared<Period>();
        CLI::App* leaf =
            AddLeaf(family, "program", "the use of one program in the period", slot, [p] {
                return [p](RunContext& ctx) {
                    LONG id = 0;
                    std::string error;
                    if (ParseLong(p->subject, "PROGRAMID", id, error) != kExitOk)
                        return Refuse(ctx, kExitUsage, error);
                    int rc = p->Check(ctx);
                    OwnedList<PROGRAMSTATISTIC> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Call([&](CLTPCreater& c) {
                            return c.GetProgramStatistics(id, p->start, p->stop, list.get());
                        });
                    if (rc == kExitOk)
                        PrintTable(ctx, ListTable(list.list()));
                    return rc;
                };
            });
        leaf->add_option("PROGRAMID", p->subject, "the program")->type_name("INT")->required();
        AddPeriodOptions(leaf, *p);
    }

    {
        auto p = std::make_shared<Period>();
        CLI::App* leaf = AddLeaf(family, "top", "the most used programs in the period", slot, [p] {
            return [p](RunContext& ctx) {
                int rc = p->Check(ctx);
                OwnedList<tagTOPPrgoram> list;
                if (rc == kExitOk)
                    rc = ctx.connection.Call([&](CLTPCreater& c) {
                        return c.GetTOPPrograms(p->count, p->start, p->stop, list.get());
                    });
                if (rc == kExitOk)
                    PrintTable(ctx, ListTable(list.list()));
                return rc;
            };
        });
        leaf->add_option("--count,-n", p->count, "how many programs (default 10)");
        AddPeriodOptions(leaf, *p);
    }
}

} // namespace ltpctl
