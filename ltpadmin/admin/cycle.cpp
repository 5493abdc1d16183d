// The non-template half of the operation cycle: the wire check of texts, sending and waiting.
#include "ltpadmin/admin/cycle.h"

#include <climits>

#include "ltpadmin/protocol/carriage.h"

namespace ltp::detail::form {

namespace {

bool HasLineEnd(const char* pszText) {
    return std::strpbrk(pszText, "\r\n") != nullptr;
}

} // namespace

bool IsSendableHeader(const char* pszValue) {
    return pszValue && !HasLineEnd(pszValue);
}

bool IsSendable(const char* pszText, bool bFreeText) {
    if (!pszText)
        return false;
    if (bFreeText)
        return true;
    return FindUncarriable(pszText, std::strlen(pszText), GetACPLeadByteTable()) == nullptr;
}

} // namespace ltp::detail::form

int CLTPCreater::Refuse() {
    m_nLastError = LTP_ERROR_UNSENDABLE;
    return 0;
}

bool CLTPCreater::CredentialsSendable() const {
    return ltp::detail::form::IsSendableHeader(m_strUserName) &&
           ltp::detail::form::IsSendableHeader(m_strPassword);
}

void CLTPCreater::FormatTextRequest(const char* pszHeadTemplate, const char* pszText) {
    const size_t nText = std::strlen(pszText);
    m_strRequest.Format(pszHeadTemplate, m_strUserName.GetString(), m_strPassword.GetString(),
                        static_cast<int>(nText));
    const size_t nHead = static_cast<size_t>(m_strRequest.GetLength());
    if (nText > static_cast<size_t>(INT_MAX) - nHead) {
        m_strRequest += pszText; // too long to count in an int: the plain way
        return;
    }
    m_strRequest.Preallocate(static_cast<int>(nHead + nText));
    m_strRequest.Append(pszText, static_cast<int>(nText));
}

int CLTPCreater::Exchange() {
    // The request goes out from m_strRequest itself, which the session keeps unchanged until the
    // wait ends; whatever has not gone out by then (a timeout, an early answer) is copied.
    AsyncRequestLent(m_strRequest.GetString(), static_cast<ULONG>(m_strRequest.GetLength()));
    const int bDone = WaitResponseAndPumpMessage(LTP_RESPONSE_TIMEOUT);
    KeepOwnRequest();
    if (!bDone)
        return 0;
    return ParseResponse(GetReadMessage());
}
