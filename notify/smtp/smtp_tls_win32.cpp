// winsock2.h before windows.h, and wincrypt.h after it, or the declarations clash. The chain
// parameters carry the URL retrieval time-out only with the extra fields asked for, and
// schannel.h declares SCH_CREDENTIALS (TLS 1.3) only with the blacklists.
#define SECURITY_WIN32
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#define SCHANNEL_USE_BLACKLISTS
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <wincrypt.h>

#include <subauth.h>  // UNICODE_STRING, which schannel.h takes as known

#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/windows_text.h"
#include "notify/smtp/smtp_socket.h"
#include "notify/smtp/smtp_tls.h"

namespace raid {

namespace {

constexpr std::size_t kChunk = 16 * 1024;
// A TLS record is at most 16 KiB plus its overhead; a server that sends more without a
// whole record in it is not speaking TLS.
constexpr std::size_t kMaxPending = 64 * 1024;
// A CA file is a handful of certificates.
constexpr DWORD kMaxCaFileBytes = 1024 * 1024;

constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_EXTENDED_ERROR;

// SSL_EXTRA_CERT_CHAIN_POLICY_PARA's checks (wininet.h's values): revocation is judged from
// the chain by us, and an IP address by its SAN entries.
constexpr DWORD kPolicyIgnoreRevocation = 0x00000080;
constexpr DWORD kPolicyIgnoreName = 0x00001000;

std::string SspiText(SECURITY_STATUS status) {
    return WindowsErrorText(static_cast<std::uint32_t>(status));
}

// Owns what an API handed out and gives it back with `release`.
template <typename T, auto release>
struct Released {
    T value = nullptr;
    Released() = default;
    explicit Released(T v) : value(v) {}
    ~Released() {
        if (value != nullptr) {
            release(value);
        }
    }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
};

using ContextBuffer = Released<void*, [](void* p) { FreeContextBuffer(p); }>;
using CertificateGuard =
    Released<PCCERT_CONTEXT, [](PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }>;
using ChainGuard =
    Released<PCCERT_CHAIN_CONTEXT, [](PCCERT_CHAIN_CONTEXT c) { CertFreeCertificateChain(c); }>;
using StoreGuard = Released<HCERTSTORE, [](HCERTSTORE s) { CertCloseStore(s, 0); }>;

// The address bytes of an IPv4 or IPv6 literal; empty for a host name.
std::vector<unsigned char> IpLiteral(const std::string& host) {
    IN6_ADDR v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&v6);
        return {bytes, bytes + sizeof v6};
    }
    IN_ADDR v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&v4);
        return {bytes, bytes + sizeof v4};
    }
    return {};
}

bool NamesIpAddress(PCCERT_CONTEXT cert, const std::vector<unsigned char>& address) {
    const CERT_INFO* info = cert->pCertInfo;
    PCERT_EXTENSION extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (extension == nullptr) {
        return false;
    }
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size) ||
        names == nullptr) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
                entry.IPAddress.cbData == address.size() &&
                std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    LocalFree(names);
    return found;
}

bool SameEncoding(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
    return a->cbCertEncoded == b->cbCertEncoded &&
           std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

// Why a chain does not reach a trusted root, in the words OpenSSL uses on Linux.
std::string UntrustedChainText(PCCERT_CHAIN_CONTEXT chain) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    const DWORD status = chain->TrustStatus.dwErrorStatus;
    if ((status & CERT_TRUST_IS_PARTIAL_CHAIN) != 0) {
        return "unable to get local issuer certificate";
    }
    return simple->cElement == 1 ? "self-signed certificate"
                                 : "self-signed certificate in certificate chain";
}

std::string PolicyErrorText(DWORD error, PCCERT_CHAIN_CONTEXT chain) {
    switch (error) {
        case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
            return "hostname mismatch";
        case static_cast<DWORD>(CERT_E_EXPIRED):
            return "certificate has expired or is not yet valid";
        case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        case static_cast<DWORD>(CERT_E_CHAINING):
            return UntrustedChainText(chain);
        case static_cast<DWORD>(CRYPT_E_REVOKED):
            return "certificate revoked";
        case static_cast<DWORD>(CERT_E_WRONG_USAGE):
            return "unsupported certificate purpose";
        default:
            return WindowsErrorText(error);
    }
}

// Every certificate of a PEM file into a memory store.
std::string LoadPemCertificates(const std::string& path, HCERTSTORE store) {
    const std::wstring widePath = Wide(path);
    if (widePath.empty()) {
        return "the path is not valid UTF-8";
    }
    HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return WindowsErrorText(GetLastError());
    }
    std::string text;
    LARGE_INTEGER size{};
    std::string failure;
    if (!GetFileSizeEx(file, &size)) {
        failure = WindowsErrorText(GetLastError());
    } else if (size.QuadPart > kMaxCaFileBytes) {
        failure = "the file is larger than 1 MiB";
    } else {
        text.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
            failure = WindowsErrorText(GetLastError());
        }
        text.resize(std::min<std::size_t>(read, text.size()));
    }
    CloseHandle(file);
    if (!failure.empty()) {
        return failure;
    }
    constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    int added = 0;
    std::size_t at = 0;
    while ((at = text.find(kBegin, at)) != std::string::npos) {
        const std::size_t body = at + kBegin.size();
        const std::size_t end = text.find(kEnd, body);
        if (end == std::string::npos) {
            return "a certificate has no end line";
        }
        const DWORD length = static_cast<DWORD>(end - body);
        DWORD derSize = 0;
        if (!CryptStringToBinaryA(text.data() + body, length, CRYPT_STRING_BASE64, nullptr,
                                  &derSize, nullptr, nullptr)) {
            return "a certificate is not valid Base64";
        }
        std::vector<BYTE> der(derSize);
        if (!CryptStringToBinaryA(text.data() + body, length, CRYPT_STRING_BASE64, der.data(),
                                  &derSize, nullptr, nullptr) ||
            !CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), derSize,
                                              CERT_STORE_ADD_ALWAYS, nullptr)) {
            return "a certificate cannot be read: " + WindowsErrorText(GetLastError());
        }
        ++added;
        at = end + kEnd.size();
    }
    return added > 0 ? std::string() : "no certificate in the file";
}

// Schannel over the socket part: it works on buffers only, so every byte to and from the
// server goes through the socket's waits.
class SchannelTls final : public SmtpTls {
  public:
    explicit SchannelTls(SmtpSocket& socket) : socket_(socket) {}
    ~SchannelTls() override { Free(); }
    SchannelTls(const SchannelTls&) = delete;
    SchannelTls& operator=(const SchannelTls&) = delete;

    SmtpIo Handshake(const std::string& host, const std::string& caFile,
                     SmtpDeadline deadline) override {
        if (haveCredentials_) {
            return SmtpIo::Failed("TLS has already started");
        }
        host_ = host;
        target_ = Wide(host);
        if (target_.empty()) {
            return SmtpIo::Failed("the host name is not valid UTF-8");
        }
        if (!caFile.empty()) {
            caRoots_ = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
            if (caRoots_ == nullptr) {
                return SmtpIo::Failed(CaFileFailure(caFile, WindowsErrorText(GetLastError())));
            }
            const std::string failure = LoadPemCertificates(caFile, caRoots_);
            if (!failure.empty()) {
                return SmtpIo::Failed(CaFileFailure(caFile, failure));
            }
        }
        SmtpIo io = AcquireCredentials();
        if (io.ok()) {
            io = Negotiate(deadline);
        }
        if (io.ok()) {
            io = ReadStreamSizes();
        }
        if (io.ok()) {
            io = VerifyServer(deadline);
        }
        if (io.ok()) {
            established_ = true;
        }
        return io;
    }

    SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) override {
        if (!established_) {
            return SmtpIo::Failed("no TLS session");
        }
        while (!bytes.empty()) {
            const std::size_t chunk = std::min<std::size_t>(bytes.size(), sizes_.cbMaximumMessage);
            const std::size_t header = sizes_.cbHeader;
            const std::size_t trailer = sizes_.cbTrailer;
            std::vector<char> record(header + chunk + trailer);
            std::memcpy(record.data() + header, bytes.data(), chunk);
            SecBuffer buffers[4] = {
                {static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, record.data()},
                {static_cast<ULONG>(chunk), SECBUFFER_DATA, record.data() + header},
                {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER,
                 record.data() + header + chunk},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = EncryptMessage(&context_, 0, &description, 0);
            if (status != SEC_E_OK) {
                return SmtpIo::Failed(SspiText(status));
            }
            // The pieces may come out shorter than their room; they go out back to back.
            const std::size_t headerUsed = buffers[0].cbBuffer;
            const std::size_t dataUsed = buffers[1].cbBuffer;
            const std::size_t trailerUsed = buffers[2].cbBuffer;
            if (headerUsed > header || dataUsed > chunk || trailerUsed > trailer) {
                return SmtpIo::Failed("the TLS layer returned a record larger than its room");
            }
            std::memmove(record.data() + headerUsed, record.data() + header, dataUsed);
            std::memmove(record.data() + headerUsed + dataUsed, record.data() + header + chunk,
                         trailerUsed);
            SmtpIo io =
                SendAll(socket_, {record.data(), headerUsed + dataUsed + trailerUsed}, deadline);
            if (!io.ok()) {
                return io;
            }
            bytes.remove_prefix(chunk);
        }
        return SmtpIo::Done();
    }

    SmtpIo Receive(std::span<char> buffer, std::size_t& received, SmtpDeadline deadline) override {
        received = 0;
        if (!established_) {
            return SmtpIo::Failed("no TLS session");
        }
        while (true) {
            if (plainStart_ < plain_.size()) {
                received = std::min(buffer.size(), plain_.size() - plainStart_);
                std::memcpy(buffer.data(), plain_.data() + plainStart_, received);
                plainStart_ += received;
                if (plainStart_ == plain_.size()) {
                    plain_.clear();
                    plainStart_ = 0;
                }
                return SmtpIo::Done();
            }
            if (peerClosed_) {
                return SmtpIo::ClosedByPeer();
            }
            if (!incoming_.empty()) {
                bool needMore = false;
                SmtpIo io = Decrypt(needMore, deadline);
                if (!io.ok()) {
                    return io;
                }
                if (!needMore) {
                    continue;
                }
            }
            SmtpIo io = ReadMore(deadline);
            if (!io.ok()) {
                return io;
            }
        }
    }

    void Close() override {
        if (established_ && !peerClosed_) {
            // One try at close_notify; a server that does not read it loses nothing.
            DWORD shutdown = SCHANNEL_SHUTDOWN;
            SecBuffer control{sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
            SecBufferDesc controlDescription{SECBUFFER_VERSION, 1, &control};
            if (ApplyControlToken(&context_, &controlDescription) == SEC_E_OK) {
                SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
                SecBufferDesc outDescription{SECBUFFER_VERSION, 1, &out};
                ULONG attributes = 0;
                InitializeSecurityContextW(&credentials_, &context_, target_.data(), kContextFlags,
                                           0, 0, nullptr, 0, nullptr, &outDescription, &attributes,
                                           nullptr);
                ContextBuffer token{out.pvBuffer};
                if (token.value != nullptr && out.cbBuffer > 0) {
                    SendWithoutWaiting(socket_,
                                       {static_cast<const char*>(token.value), out.cbBuffer});
                }
            }
        }
        Free();
    }

  private:
    // TLS 1.2 or later, with no client certificate and the server checked by us.
    SmtpIo AcquireCredentials() {
        constexpr DWORD kFlags =
            SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        TimeStamp expiry{};
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT |
                                            SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
        SCH_CREDENTIALS current{};
        current.dwVersion = SCH_CREDENTIALS_VERSION;
        current.dwFlags = kFlags;
        current.cTlsParameters = 1;
        current.pTlsParameters = &parameters;
        SECURITY_STATUS status = AcquireCredentialsHandleW(
            nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &current,
            nullptr, nullptr, &credentials_, &expiry);
        if (status != SEC_E_OK) {
            // Windows before 10 1809 knows only the older structure (without TLS 1.3).
            SCHANNEL_CRED older{};
            older.dwVersion = SCHANNEL_CRED_VERSION;
            older.dwFlags = kFlags;
            older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            status = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                               SECPKG_CRED_OUTBOUND, nullptr, &older, nullptr,
                                               nullptr, &credentials_, &expiry);
        }
        if (status != SEC_E_OK) {
            return SmtpIo::Failed("no TLS credentials: " + SspiText(status));
        }
        haveCredentials_ = true;
        return SmtpIo::Done();
    }

    // The handshake, first or again when the server asks (TLS 1.3 session tickets and key
    // updates come this way): tokens out, the server's records in, until Schannel is done.
    SmtpIo Negotiate(SmtpDeadline deadline) {
        bool needInput = haveContext_ && incoming_.empty();
        while (true) {
            if (needInput) {
                SmtpIo io = ReadMore(deadline);
                if (!io.ok()) {
                    return io;
                }
            }
            SecBuffer in[2] = {
                {static_cast<ULONG>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
            SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
            SecBufferDesc outDescription{SECBUFFER_VERSION, 2, out};
            ULONG attributes = 0;
            const SECURITY_STATUS status = InitializeSecurityContextW(
                &credentials_, haveContext_ ? &context_ : nullptr, target_.data(), kContextFlags, 0,
                0, haveContext_ ? &inDescription : nullptr, 0, haveContext_ ? nullptr : &context_,
                &outDescription, &attributes, nullptr);
            ContextBuffer token{out[0].pvBuffer};
            ContextBuffer alert{out[1].pvBuffer};
            const bool going = status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED;
            if (going) {
                haveContext_ = true;
            }
            if (token.value != nullptr && out[0].cbBuffer > 0) {
                const std::string_view bytes(static_cast<const char*>(token.value),
                                             out[0].cbBuffer);
                if (going) {
                    SmtpIo io = SendAll(socket_, bytes, deadline);
                    if (!io.ok()) {
                        return io;
                    }
                } else {
                    // An alert for the server; it must not delay the failure.
                    SendWithoutWaiting(socket_, bytes);
                }
            }
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needInput = true;
                continue;
            }
            if (!going) {
                if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
                    return SmtpIo::Failed("the server asks for a client certificate");
                }
                return SmtpIo::Failed(SspiText(status));
            }
            KeepExtra(in[1]);
            if (status == SEC_E_OK) {
                return SmtpIo::Done();
            }
            needInput = incoming_.empty();
        }
    }

    // What Schannel left unread stays for the next call: SECBUFFER_EXTRA names the tail of
    // the input it did not take. Anything else means the input was used up.
    void KeepExtra(const SecBuffer& extra) {
        if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 &&
            extra.cbBuffer <= incoming_.size()) {
            incoming_.erase(incoming_.begin(),
                            incoming_.end() - static_cast<std::ptrdiff_t>(extra.cbBuffer));
        } else {
            incoming_.clear();
        }
    }

    SmtpIo ReadStreamSizes() {
        const SECURITY_STATUS status =
            QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
        if (status != SEC_E_OK) {
            return SmtpIo::Failed(SspiText(status));
        }
        if (sizes_.cbMaximumMessage == 0) {
            return SmtpIo::Failed("the TLS layer allows no message size");
        }
        return SmtpIo::Done();
    }

    SmtpIo ReadMore(SmtpDeadline deadline) {
        if (incoming_.size() >= kMaxPending) {
            return SmtpIo::Failed("the server sent more than a TLS record can hold");
        }
        std::array<char, kChunk> chunk;
        std::size_t received = 0;
        SmtpIo io = ReceiveSomeInTime(socket_, chunk, received, deadline);
        if (io.ok()) {
            incoming_.insert(incoming_.end(), chunk.data(), chunk.data() + received);
        }
        return io;
    }

    // One record of `incoming_` into `plain_`; `needMore` when the record is not all there.
    SmtpIo Decrypt(bool& needMore, SmtpDeadline deadline) {
        SecBuffer buffers[4] = {
            {static_cast<ULONG>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_, &description, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore = true;
            return SmtpIo::Done();
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            return SmtpIo::Failed(SspiText(status));
        }
        // Decrypted in place: the data must lie inside what we handed over.
        const char* begin = incoming_.data();
        const char* end = begin + incoming_.size();
        SecBuffer extra{0, SECBUFFER_EMPTY, nullptr};
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) {
                const char* data = static_cast<const char*>(b.pvBuffer);
                if (std::less<const char*>()(data, begin) || data > end ||
                    b.cbBuffer > static_cast<std::size_t>(end - data)) {
                    return SmtpIo::Failed("the TLS layer returned data outside its buffer");
                }
                plain_.insert(plain_.end(), data, data + b.cbBuffer);
            } else if (b.BufferType == SECBUFFER_EXTRA) {
                extra = b;
            }
        }
        KeepExtra(extra);
        if (status == SEC_I_CONTEXT_EXPIRED) {
            // close_notify: what came before it is still delivered.
            peerClosed_ = true;
        } else if (status == SEC_I_RENEGOTIATE) {
            SmtpIo io = Negotiate(deadline);
            if (io.ok()) {
                io = VerifyServer(deadline);
            }
            return io;
        }
        return SmtpIo::Done();
    }

    // The certificate must chain to a trusted root (the CA file's, when one was given) with no
    // revoked link, and name the host. One path for both trust modes: Schannel is told to
    // leave the check to us.
    SmtpIo VerifyServer(SmtpDeadline deadline) {
        CertificateGuard server;
        SECURITY_STATUS status = QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                                         static_cast<void*>(&server.value));
        if (status != SEC_E_OK || server.value == nullptr) {
            return SmtpIo::Failed(CertificateRefusal("the server sent no certificate"));
        }
        if (verified_.size() == server.value->cbCertEncoded &&
            std::memcmp(verified_.data(), server.value->pbCertEncoded, verified_.size()) == 0) {
            return SmtpIo::Done();  // a renegotiation that kept the certificate
        }
        // The server's intermediates, and the CA file's certificates when there is one.
        StoreGuard extra{CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr)};
        if (extra.value == nullptr ||
            (server.value->hCertStore != nullptr &&
             !CertAddStoreToCollection(extra.value, server.value->hCertStore, 0, 0)) ||
            (caRoots_ != nullptr && !CertAddStoreToCollection(extra.value, caRoots_, 0, 0))) {
            return SmtpIo::Failed(CertificateRefusal(WindowsErrorText(GetLastError())));
        }
        ChainGuard chain;
        SmtpIo io = BuildChain(server.value, extra.value, deadline, chain.value);
        if (!io.ok()) {
            return io;
        }
        const DWORD trust = chain.value->TrustStatus.dwErrorStatus;
        if ((trust & CERT_TRUST_IS_REVOKED) != 0) {
            return SmtpIo::Failed(CertificateRefusal("certificate revoked"));
        }
        if (chain.value->cChain == 0 || chain.value->rgpChain[0]->cElement == 0) {
            return SmtpIo::Failed(CertificateRefusal("no certificate chain"));
        }
        const CERT_SIMPLE_CHAIN* simple = chain.value->rgpChain[0];
        if (caRoots_ != nullptr) {
            // The CA file's certificates are the only roots: the system's do not count.
            const PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
            bool ours = false;
            for (PCCERT_CONTEXT c = CertEnumCertificatesInStore(caRoots_, nullptr); c != nullptr;
                 c = CertEnumCertificatesInStore(caRoots_, c)) {
                if (SameEncoding(c, root)) {
                    ours = true;
                    CertFreeCertificateContext(c);
                    break;
                }
            }
            if (!ours || (trust & CERT_TRUST_IS_PARTIAL_CHAIN) != 0) {
                return SmtpIo::Failed(CertificateRefusal(UntrustedChainText(chain.value)));
            }
        } else if ((trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) != 0) {
            return SmtpIo::Failed(CertificateRefusal(UntrustedChainText(chain.value)));
        }
        const std::vector<unsigned char> address = IpLiteral(host_);
        io = CheckPolicy(chain.value, !address.empty());
        if (!io.ok()) {
            return io;
        }
        // The SSL policy matches DNS names only; an address must be one of the SAN's.
        if (!address.empty() && !NamesIpAddress(server.value, address)) {
            return SmtpIo::Failed(CertificateRefusal("IP address mismatch"));
        }
        verified_.assign(server.value->pbCertEncoded,
                         server.value->pbCertEncoded + server.value->cbCertEncoded);
        return SmtpIo::Done();
    }

    // The default engine fetches missing roots and revocation data on demand, within what is
    // left of the time-out.
    SmtpIo BuildChain(PCCERT_CONTEXT server, HCERTSTORE extra, SmtpDeadline deadline,
                      PCCERT_CHAIN_CONTEXT& chain) {
        LPSTR serverAuth = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
        CERT_CHAIN_PARA parameters{};
        parameters.cbSize = sizeof parameters;
        parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
        parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
        parameters.RequestedUsage.Usage.rgpszUsageIdentifier = &serverAuth;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        parameters.dwUrlRetrievalTimeout =
            static_cast<DWORD>(std::clamp<long long>(left, 1, 60000));
        constexpr DWORD kFlags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
        if (CertGetCertificateChain(nullptr, server, nullptr, extra, &parameters, kFlags, nullptr,
                                    &chain)) {
            return SmtpIo::Done();
        }
        // Systems whose chain parameters end before the extra fields.
        parameters.cbSize = offsetof(CERT_CHAIN_PARA, dwUrlRetrievalTimeout);
        if (CertGetCertificateChain(nullptr, server, nullptr, extra, &parameters, kFlags, nullptr,
                                    &chain)) {
            return SmtpIo::Done();
        }
        return SmtpIo::Failed(CertificateRefusal(WindowsErrorText(GetLastError())));
    }

    SmtpIo CheckPolicy(PCCERT_CHAIN_CONTEXT chain, bool ipLiteral) {
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = kPolicyIgnoreRevocation | (ipLiteral ? kPolicyIgnoreName : 0);
        ssl.pwszServerName = ipLiteral ? nullptr : target_.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        // Revocation that cannot be learnt (offline, no CRL) does not refuse the server; the
        // CA file's root is trusted by us, not by the system.
        policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS |
                         (caRoots_ != nullptr ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0);
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS result{};
        result.cbSize = sizeof result;
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result)) {
            return SmtpIo::Failed(CertificateRefusal(WindowsErrorText(GetLastError())));
        }
        if (result.dwError != 0) {
            return SmtpIo::Failed(CertificateRefusal(PolicyErrorText(result.dwError, chain)));
        }
        return SmtpIo::Done();
    }

    void Free() {
        if (haveContext_) {
            DeleteSecurityContext(&context_);
            haveContext_ = false;
        }
        if (haveCredentials_) {
            FreeCredentialsHandle(&credentials_);
            haveCredentials_ = false;
        }
        if (caRoots_ != nullptr) {
            CertCloseStore(caRoots_, 0);
            caRoots_ = nullptr;
        }
        established_ = false;
    }

    SmtpSocket& socket_;
    std::string host_;
    std::wstring target_;
    HCERTSTORE caRoots_ = nullptr;
    CredHandle credentials_{};
    bool haveCredentials_ = false;
    CtxtHandle context_{};
    bool haveContext_ = false;
    bool established_ = false;
    bool peerClosed_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::vector<unsigned char> verified_;  // the certificate last found good, encoded
    std::vector<char> incoming_;           // from the server, not yet taken by Schannel
    std::vector<char> plain_;              // decrypted, not yet handed out
    std::size_t plainStart_ = 0;
};

}  // namespace

std::unique_ptr<SmtpTls> MakeSmtpTls(SmtpSocket& socket) {
    return std::make_unique<SchannelTls>(socket);
}

}  // namespace raid
