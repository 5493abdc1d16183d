// The operation cycle of CLTPCreater, shared by every family of operations: the check of what a
// request would put on the wire, the request forms, and the result forms that take what the caller
// gets from a successful response. Included only by the admin sources.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

#include "ltpadmin/admin/ltp_creater.h"
#include "ltpadmin/protocol/catalogue.h"
#include "ltpadmin/protocol/record_fields.h"
#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/record_list.h"
#include "ltpadmin/protocol/response.h"

namespace ltp::detail::form {

// Buffer through which a value element is read; a longer value reads as 0.
constexpr UINT kValueBufferSize = 60;

// Whether a key or a field text can be carried inside an element: present, no line end, and no
// "|" or "<" where a character starts (the trail byte of a double-byte character may be either).
// A free text (the body of row 1) only has to be present.
bool IsSendable(const char* pszText, bool bFreeText);
// Numbers always are: any integer (an int argument is no nearer LONG than double where LONG is
// long) and any floating-point value.
template <class Number, std::enable_if_t<std::is_arithmetic_v<Number>, int> = 0>
inline bool IsSendable(Number, bool) {
    return true;
}
// Whether a header value (user name, password) keeps to its line.
bool IsSendableHeader(const char* pszValue);

// The caller's text when it is the one argument (row 1), else nullptr.
template <class... Args> const char* TextArgument(const Args&... args) {
    if constexpr (sizeof...(Args) == 1 && (std::is_convertible_v<Args, const char*> && ...))
        return (args, ...);
    else
        return nullptr;
}

// Result forms. IsReady: the caller gave somewhere to put the result. Take: the response had
// status 200; returns the operation's result, or kOverLimit.

// What Take returns when the result would take more memory than the session allows.
constexpr int kOverLimit = -1;

// The status is the whole answer.
struct StatusOnly {
    bool IsReady() const { return true; }
    int Take(const CommandRow&, const char*, ULONG) const { return 1; }
};

// One new zero-filled record per record of the list walk (WalkList), appended in the order of the
// response, so that a long response is read once. The records made may take nMaxBytes at most:
// past that they are freed again, and the list holds what it held before.
template <class T> struct List {
    CList<T*, T*>* pList;
    size_t nMaxBytes = LTP_DEFAULT_MAX_RESULT_BYTES;
    // What one record takes: its block and its list node (two links and the pointer).
    static constexpr size_t kRecordCost = sizeof(T) + 3 * sizeof(void*);

    bool IsReady() const { return pList != nullptr; }
    static std::unique_ptr<T> NewRecord() {
        std::unique_ptr<T> record(new T);
        std::memset(record.get(), 0, sizeof(T));
        return record;
    }
    int Take(const CommandRow&, const char* data, ULONG length) const {
        Appender appender{pList, nMaxBytes / kRecordCost};
        if (WalkList(data, length, GetACPLeadByteTable(), appender))
            return 1;
        for (; appender.appended != 0; --appender.appended)
            delete pList->RemoveTail();
        return kOverLimit;
    }

    // Each span is appended as soon as the walk cuts it, and counts against the bound from then.
    struct Appender {
        CList<T*, T*>* pList;
        size_t most;
        size_t appended = 0;

        bool Span(const char* span, UINT spanLength) {
            if (appended + 1 > most)
                return false;
            std::unique_ptr<T> record = NewRecord();
            DecodeRecord(span, spanLength, record.get());
            pList->AddTail(record.release());
            ++appended;
            return true;
        }
        void DropLast() {
            delete pList->RemoveTail();
            --appended;
        }
        bool Blank() {
            if (appended + 1 > most)
                return false;
            pList->AddTail(NewRecord().release());
            ++appended;
            return true;
        }
    };
};

// The session's bound on a list's records; the other forms make one record at most.
template <class Form> void BoundResult(Form&, size_t) {}
template <class T> void BoundResult(List<T>& form, size_t nMaxBytes) {
    form.nMaxBytes = nMaxBytes;
}

// The caller's record, filled from the first element of its tag anywhere in the response.
template <class T> struct Lookup {
    T* pRecord;
    bool IsReady() const { return pRecord != nullptr; }
    int Take(const CommandRow&, const char* data, ULONG length) const {
        DecodeElement(data, length, pRecord);
        return 1;
    }
};

// The caller's record, filled from the first record of the response only; no record is a failure.
template <class T> struct FirstRecord {
    T* pRecord;
    bool IsReady() const { return pRecord != nullptr; }
    int Take(const CommandRow&, const char* data, ULONG length) const {
        const char* span = nullptr;
        UINT spanLength = 0;
        if (!FirstRecordSpan(data, length, GetACPLeadByteTable(), span, spanLength))
            return 0;
        DecodeRecord(span, spanLength, pRecord);
        return 1;
    }
};

// The number in the row's value element; 0 when it is missing or too long.
struct Value {
    LONG* pnValue;
    bool IsReady() const { return pnValue != nullptr; }
    int Take(const CommandRow& row, const char* data, ULONG length) const {
        char buffer[kValueBufferSize] = {};
        GetParamIDValue(data, length, row.responseTag,
                        static_cast<UINT>(std::strlen(row.responseTag)), buffer, sizeof buffer);
        *pnValue = static_cast<LONG>(std::atol(buffer));
        return 1;
    }
};

// A pointer to the body, which stays in the receive buffer until the next request.
struct BodyText {
    char** ppszText;
    bool IsReady() const { return ppszText != nullptr; }
    int Take(const CommandRow&, const char* data, ULONG length) const {
        *ppszText = const_cast<char*>(FindInformationBody(data, length));
        return 1;
    }
};

template <class T> List(CList<T*, T*>*) -> List<T>;
template <class T> Lookup(T*) -> Lookup<T>;
template <class T> FirstRecord(T*) -> FirstRecord<T>;

} // namespace ltp::detail::form

template <ltp::detail::Row R, class Form, class... Args>
int CLTPCreater::Run(Form form, const Args&... args) {
    static_assert(ltp::detail::ArgumentsFit<R, Args...>(),
                  "the arguments do not match the conversions of the row's template");
    constexpr const ltp::detail::CommandRow& row = ltp::detail::CatalogueRow(R);
    constexpr bool bFreeText = row.body == ltp::detail::BodyKind::Text;
    if (!form.IsReady() || !CredentialsSendable() ||
        !(ltp::detail::form::IsSendable(args, bFreeText) && ...))
        return Refuse();
    const char* pszUser = m_strUserName;
    const char* pszPassword = m_strPassword;
    if constexpr (bFreeText) {
        FormatTextRequest(row.headTemplate, ltp::detail::form::TextArgument(args...));
    } else if constexpr (row.hasContentLength) {
        CString strBody;
        strBody.Format(row.bodyTemplate, args...);
        m_strRequest.Format(row.headTemplate, pszUser, pszPassword, strBody.GetLength());
        m_strRequest += strBody;
    } else {
        m_strRequest.Format(row.headTemplate, pszUser, pszPassword, args...);
    }
    if (!Exchange())
        return 0;
    CMessage& response = GetReadMessage();
    ltp::detail::form::BoundResult(form, GetMaxResultBytes());
    const int result = form.Take(row, response.GetData(), response.GetLength());
    if (result == ltp::detail::form::kOverLimit) {
        m_nLastError = LTP_ERROR_RECEIVE;
        return 0;
    }
    return result;
}

template <class Record> bool CLTPCreater::IsSendableRecord(const Record* pRecord) {
    return (pRecord &&
            ltp::detail::TextsEndInside(pRecord, ltp::detail::DescriptionOf<Record>())) ||
           Refuse();
}
