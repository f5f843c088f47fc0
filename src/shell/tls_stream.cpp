#include "shell/tls_stream.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <cerrno>

namespace kalder::shell {

struct TlsStream::State {
    TcpSocket* socket = nullptr;
    gnutls_certificate_credentials_t credentials = nullptr;
    gnutls_session_t session = nullptr;
    std::chrono::milliseconds timeout{0};
    bool timedOut = false;
    bool open = false;

    ~State() {
        if (session) {
            // Only our close_notify is sent; waiting for the server's could hang on a dead peer.
            if (open) gnutls_bye(session, GNUTLS_SHUT_WR);
            gnutls_deinit(session);
        }
        if (credentials) gnutls_certificate_free_credentials(credentials);
    }
};

namespace {

ssize_t pushBytes(gnutls_transport_ptr_t p, const void* data, size_t size) {
    auto* s = static_cast<TlsStream::State*>(p);
    const auto n = s->socket->sendSome(data, size);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            s->timedOut = true;
            errno = ETIMEDOUT;  // a retry would wait forever: make it fatal
        }
        gnutls_transport_set_errno(s->session, errno);
    }
    return n;
}

ssize_t pullBytes(gnutls_transport_ptr_t p, void* data, size_t size) {
    auto* s = static_cast<TlsStream::State*>(p);
    const auto n = s->socket->receiveSome(data, size);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            s->timedOut = true;
            errno = ETIMEDOUT;
        }
        gnutls_transport_set_errno(s->session, errno);
    }
    return n;
}

int pullTimeout(gnutls_transport_ptr_t p, unsigned int ms) {
    auto* s = static_cast<TlsStream::State*>(p);
    const auto wait = ms == GNUTLS_INDEFINITE_TIMEOUT ? s->timeout : std::chrono::milliseconds(ms);
    const int rc = s->socket->waitReadable(wait);
    if (rc == 0 && ms == GNUTLS_INDEFINITE_TIMEOUT) s->timedOut = true;
    return rc;
}

bool isIpAddress(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string gnutlsMessage(int rc) { return gnutls_strerror(rc); }

}  // namespace

TlsStream::TlsStream(std::unique_ptr<State> state) : m_state(std::move(state)) {}
TlsStream::~TlsStream() = default;

NetResult<std::unique_ptr<TlsStream>> TlsStream::start(TcpSocket& socket, const std::string& host,
                                                       const TlsOptions& options) {
    auto st = std::make_unique<State>();
    st->socket = &socket;
    st->timeout = options.timeout;
    int rc = gnutls_certificate_allocate_credentials(&st->credentials);
    if (rc < 0) return NetError{NetErrorCode::TlsFailed, gnutlsMessage(rc)};
    const int systemCount = gnutls_certificate_set_x509_system_trust(st->credentials);
    if (!options.extraCaFile.empty()) {
        rc = gnutls_certificate_set_x509_trust_file(st->credentials, options.extraCaFile.c_str(),
                                                    GNUTLS_X509_FMT_PEM);
        if (rc <= 0) return NetError{NetErrorCode::CaFileUnreadable, options.extraCaFile};
    } else if (systemCount <= 0) {
        return NetError{NetErrorCode::NoTrustStore, {}};
    }
    if ((rc = gnutls_init(&st->session, GNUTLS_CLIENT)) < 0 ||
        (rc = gnutls_set_default_priority(st->session)) < 0 ||
        (rc = gnutls_credentials_set(st->session, GNUTLS_CRD_CERTIFICATE, st->credentials)) < 0) {
        return NetError{NetErrorCode::TlsFailed, gnutlsMessage(rc)};
    }
    if (!isIpAddress(host))
        gnutls_server_name_set(st->session, GNUTLS_NAME_DNS, host.data(), host.size());
    gnutls_session_set_verify_cert(st->session, host.c_str(), 0);
    gnutls_transport_set_ptr(st->session, st.get());
    gnutls_transport_set_push_function(st->session, pushBytes);
    gnutls_transport_set_pull_function(st->session, pullBytes);
    gnutls_transport_set_pull_timeout_function(st->session, pullTimeout);
    gnutls_handshake_set_timeout(st->session, static_cast<unsigned>(options.timeout.count()));
    do {
        rc = gnutls_handshake(st->session);
    } while (rc < 0 && !gnutls_error_is_fatal(rc) && !st->timedOut);
    if (rc == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
        const unsigned status = gnutls_session_get_verify_cert_status(st->session);
        gnutls_datum_t text{};
        NetError error{NetErrorCode::Untrusted, {}};
        if (gnutls_certificate_verification_status_print(
                status, gnutls_certificate_type_get(st->session), &text, 0) == 0) {
            error.detail.assign(reinterpret_cast<const char*>(text.data), text.size);
            gnutls_free(text.data);
        }
        return error;
    }
    if (rc < 0) {
        if (st->timedOut || rc == GNUTLS_E_TIMEDOUT) return NetError{NetErrorCode::TimedOut, {}};
        return NetError{NetErrorCode::TlsFailed, "TLS handshake failed: " + gnutlsMessage(rc)};
    }
    st->open = true;
    return std::unique_ptr<TlsStream>(new TlsStream(std::move(st)));
}

namespace {

// The session is unusable after a failed record: it is marked closed, so no close notify
// goes out over it.
NetError recordError(TlsStream::State& state, ssize_t code) {
    state.open = false;
    if (state.timedOut) return {NetErrorCode::TimedOut, {}};
    return {NetErrorCode::Broken, gnutlsMessage(static_cast<int>(code))};
}

}  // namespace

NetResult<std::monostate> TlsStream::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto n = gnutls_record_send(m_state->session, bytes.data(), bytes.size());
        if (n == GNUTLS_E_INTERRUPTED || (n == GNUTLS_E_AGAIN && !m_state->timedOut)) continue;
        if (n <= 0) return recordError(*m_state, n);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return std::monostate{};
}

NetResult<std::size_t> TlsStream::receive(std::span<char> buffer) {
    for (;;) {
        const auto n = gnutls_record_recv(m_state->session, buffer.data(), buffer.size());
        if (n == GNUTLS_E_INTERRUPTED || (n == GNUTLS_E_AGAIN && !m_state->timedOut)) continue;
        if (n > 0) return static_cast<std::size_t>(n);
        if (n == 0) return NetError{NetErrorCode::Closed, {}};
        return recordError(*m_state, n);
    }
}

}  // namespace kalder::shell
