// One client of the load test: its own CLTPCreater, logged in on the thread that runs it, doing
// random operations on records it owns (and on memberships and grants that tie them to records
// every client shares), checking each outcome against its model of what the server holds.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "load_model.h"
#include "ltpd_thread.h"
#include "random_fields.h"

namespace ltptest {

// Made before the clients start and never deleted: groups users join, programs below which
// programs are added and on which rights are granted.
struct SharedRecords {
    std::vector<std::string> groups;
    std::vector<LONG> programs;
};

class LoadClient {
public:
    LoadClient(int index, uint64_t seed, const SharedRecords& shared);

    // On the calling thread: logs in, runs up to operations random operations or until the
    // deadline, and logs out. Stops at the first outcome the model did not expect.
    void Run(const LtpdThread& server, size_t operations,
             std::chrono::steady_clock::time_point deadline);

    const LoadModel& Model() const { return m_model; }
    size_t Operations() const { return m_operations; }
    size_t Requests() const { return m_requests; }
    // Operations that changed the server, each of which it writes to its log once.
    size_t Changes() const { return m_changes; }
    const std::vector<std::string>& Errors() const { return m_errors; }

private:
    bool Step();
    // Counts the request and checks its outcome: success, or a refusal by the server.
    bool Expect(int result, bool success, const char* what);
    bool Changed(int result, const char* what); // expected to succeed and change the server

    std::string NewKey(size_t width);
    void FillUser(tagUser& r);
    void FillGroup(tagGroup& r);
    void FillProgram(tagProgram& r);
    void FillChannel(tagChannel& r);
    void FillSchedule(tagSchedule& r);
    void FillGlobal(tagGlobal& r);
    void FillMTPSvr(MTPSVR& r);
    // A parent for a program: the top level or a shared program (never one of its own
    // descendants).
    LONG SomeParent();
    LONG SomeProgram();      // own or shared
    std::string SomeGroup(); // own or shared

    bool Users();
    bool Groups();
    bool Programs();
    bool Channels();
    bool Schedules();
    bool Globals();
    bool MTPServers();
    bool Memberships();
    bool UserRights();
    bool GroupRights();
    bool Paths();
    bool Reads();

    int m_index;
    RandomFields m_fields;
    const SharedRecords& m_shared;
    CLTPCreater m_admin;
    LoadModel m_model;
    size_t m_operations = 0;
    size_t m_requests = 0;
    size_t m_changes = 0;
    std::vector<std::string> m_errors;
};

} // namespace ltptest
