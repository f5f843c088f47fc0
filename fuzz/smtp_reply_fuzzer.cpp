// The SMTP reply reader, fed what a hostile or broken server may send, split into pieces as a
// network splits them. Replies must stay within the limits and never read past the bytes given.
#include <algorithm>
#include <cstdint>
#include <string>

#include "tools/mail/mail_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kalder::tools::MailSession;
    using kalder::tools::SmtpReplyState;
    if (size == 0) return 0;
    // The first byte picks the piece size, so the same bytes arrive in different splits.
    const std::size_t piece = data[0] % 64 + 1;
    std::string pending, reply;
    std::size_t lines = 0;
    for (std::size_t at = 1; at < size;) {
        // As MailSession reads: never more than the reply buffer holds.
        const std::size_t room =
            MailSession::kReplyBuffer - std::min(pending.size(), MailSession::kReplyBuffer);
        const std::size_t n = std::min({piece, size - at, room});
        if (n == 0) break;
        pending.append(reinterpret_cast<const char*>(data + at), n);
        at += n;
        for (;;) {
            const std::size_t before = pending.size();
            const SmtpReplyState state = kalder::tools::takeSmtpReplyLines(pending, reply, lines);
            if (pending.size() > before) __builtin_trap();
            if (state == SmtpReplyState::Incomplete) {
                if (pending.size() >= MailSession::kReplyBuffer) __builtin_trap();
                break;
            }
            if (state == SmtpReplyState::TooLong) return 0;
            // A whole reply: at most 100 lines of under 1000 bytes each.
            if (lines == 0 || lines > 100 || reply.size() > lines * MailSession::kReplyBuffer)
                __builtin_trap();
            const std::size_t last = reply.rfind('\n');
            const char code = reply.c_str()[last == std::string::npos ? 0 : last + 1];
            if ((state == SmtpReplyState::Positive) != (code == '2' || code == '3'))
                __builtin_trap();
            reply.clear();
            lines = 0;
        }
    }
    return 0;
}
