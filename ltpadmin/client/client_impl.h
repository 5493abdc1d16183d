// Client::Impl, the state behind ltp::Client: the options, the connection and the formatting of
// requests. Shared by the client's methods and by Pipeline, which has them format requests
// for it to send.
#pragma once

#include <climits>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ltpadmin/ltp/client.h"
#include "ltpadmin/client/connection.h"
#include "ltpadmin/client/decode.h"
#include "ltpadmin/client/request.h"
#include "ltpadmin/protocol/catalogue.h"

namespace ltp {

using detail::Arg;
using detail::BodyKind;
using detail::CatalogueRow;
using detail::CommandRow;
using detail::Response;
using detail::Row;

// Requests formatted while a Pipeline records a call: their bytes one after another, the end of
// each and its catalogue row.
struct Recording {
    std::string bytes;
    std::vector<std::size_t> ends;
    std::vector<Row> rows;
};

// Most keys a request line carries (rows 46, 47, 49, 50: name, program, rights).
constexpr std::size_t kMostKeys = 3;

struct Client::Impl {
    explicit Impl(Options o)
        : options(std::move(o)), lead(detail::LeadBytesOf(options.code_page)), connection(options) {
    }

    // A key or argument text, checked before anything is sent.
    Arg Key(const char* argument, std::string_view text) const {
        detail::CheckText(text, argument, lead);
        return Arg(text);
    }

    // Formats the row's request with args (keys, or the body's values) and returns the response,
    // whatever its status.
    Response Exchange(Row row, std::initializer_list<Arg> args) {
        return Exchange(row, args.begin(), args.size());
    }

    // A sink, when given, sees the response while it arrives.
    Response Exchange(Row name, const Arg* args, std::size_t count,
                      detail::BodySink* sink = nullptr) {
        if (walking)
            throw Error("a walk's callback called its own client, which is still receiving the "
                        "list");
        const CommandRow& row = CatalogueRow(name);
        detail::CheckHeader(options.user, "user");
        detail::CheckHeader(options.password, "password");
        request.clear();
        if (!row.hasContentLength) {
            Arg all[2 + kMostKeys] = {Arg(options.user), Arg(options.password)};
            std::size_t n = 2;
            for (std::size_t k = 0; k < count && k < kMostKeys; ++k)
                all[n++] = args[k];
            detail::Fill(request, row.headTemplate, all, n);
        } else if (row.body == BodyKind::Text) {
            const std::string_view text = args[0].text;
            Head(row, text.size());
            request.append(text);
        } else {
            body.clear();
            detail::Fill(body, row.bodyTemplate, args, count);
            Head(row, body.size());
            request.append(body);
        }
        if (recording != nullptr) {
            recording->bytes += request;
            recording->ends.push_back(recording->bytes.size());
            recording->rows.push_back(name);
            return Response{"", 0, 0, true};
        }
        if (options.dry_run) {
            options.dry_run(request);
            return Response{"", 0, 0, true};
        }
        if (pipelined)
            throw Error("the client's connection carries a pipeline's requests; flush it first");
        return connection.exchange(request, sink);
    }

    void Head(const CommandRow& row, std::size_t length) {
        if (length > INT_MAX)
            throw Error("the request's body is longer than the protocol can count");
        const Arg head[3] = {Arg(options.user), Arg(options.password),
                             Arg(static_cast<std::int32_t>(length))};
        detail::Fill(request, row.headTemplate, head, 3);
    }

    Response Call(Row row, std::initializer_list<Arg> args) {
        return Call(row, args.begin(), args.size());
    }

    Response Call(Row row, const Arg* args, std::size_t count) {
        const Response response = Exchange(row, args, count);
        detail::CheckStatus(response);
        return response;
    }

    template <class T> Response Send(Row row, const T& record) {
        Arg args[detail::kMostFields];
        const std::size_t n = detail::RecordArgs(record, args, lead);
        return Call(row, args, n);
    }

    template <class T> std::vector<T> List(Row row, std::initializer_list<Arg> args) {
        if (walk != nullptr) {
            const auto& each = *static_cast<const std::function<void(const T&)>*>(walk);
            walk = nullptr;
            Walk(row, args, each);
            return {};
        }
        std::vector<T> records;
        if (reuse != nullptr) {
            records = std::move(*static_cast<std::vector<T>*>(reuse));
            reuse = nullptr;
        }
        detail::ListDecoder<T> decoder(lead, options.max_result_bytes, std::move(records));
        const Response response = Exchange(row, args.begin(), args.size(), &decoder);
        detail::CheckStatus(response);
        return decoder.finish(response);
    }

    // The list handed to each record by record; the connection is closed when each throws after
    // the response is whole as while it arrives (the exchange closes it then).
    template <class T>
    void Walk(Row row, std::initializer_list<Arg> args, const std::function<void(const T&)>& each) {
        // The callback runs while the response is still being received: a call of this client
        // from it would reuse the buffer under the walk.
        const std::function<void(const T&)> guarded = [&](const T& record) {
            walking = true;
            struct Done {
                bool& flag;
                ~Done() { flag = false; }
            } done{walking};
            each(record);
        };
        detail::ListDecoder<T> decoder(lead, options.max_result_bytes, guarded);
        const Response response = Exchange(row, args.begin(), args.size(), &decoder);
        if (decoder.released() == 0) // otherwise the status was 200 and its line is gone
            detail::CheckStatus(response);
        try {
            decoder.finish_each(response);
        } catch (...) {
            connection.close();
            throw;
        }
    }

    template <class T> std::optional<T> Find(Row row, std::initializer_list<Arg> args) {
        const Response response = Exchange(row, args);
        if (response.dry || detail::StatusCode(response) == 404)
            return std::nullopt;
        detail::CheckStatus(response);
        return detail::DecodeLookup<T>(response, lead);
    }

    // Runs a list operation's fresh form with the caller's vector lent to its decoder (List takes
    // it, of the same record type, since the fresh form is the same operation).
    template <class T, class Fresh> void Reusing(std::vector<T>& into, Fresh fresh) {
        struct Lent {
            void*& slot;
            ~Lent() { slot = nullptr; }
        } lent{reuse};
        reuse = &into;
        try {
            into = fresh();
        } catch (...) {
            into.clear();
            throw;
        }
    }

    // Runs a list operation's fresh form as a walk with each (List takes it, as Reusing lends).
    template <class T, class Fresh>
    void Walking(const std::function<void(const T&)>& each, Fresh fresh) {
        if (!each)
            throw Error("a walk needs a function to hand the records to");
        struct Lent {
            const void*& slot;
            ~Lent() { slot = nullptr; }
        } lent{walk};
        walk = &each;
        fresh();
    }

    std::int32_t Value(Row row, std::initializer_list<Arg> args) {
        return detail::DecodeValue(Call(row, args), CatalogueRow(row).responseTag, lead);
    }

    Options options;
    const unsigned char* lead;
    detail::Connection connection;
    std::string request; // kept between calls: its room is reused
    std::string body;
    void* reuse = nullptr;      // the caller's vector for the next List, while Reusing runs
    const void* walk = nullptr; // the caller's function for the next List, while Walking runs
    bool walking = false;       // a walk's callback runs
    // Set while a Pipeline records a call: requests are formatted into it, not sent.
    Recording* recording = nullptr;
    // Set while a Pipeline has requests on the connection that are not answered yet.
    bool pipelined = false;
};

} // namespace ltp
