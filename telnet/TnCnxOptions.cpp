#include "telnet/TnCnxOptions.h"

#include <cstdio>

using namespace Telnet;

std::string Telnet::EscapeIac(std::string_view data)
{
    std::string out;
    out.reserve(data.size());
    for (char c : data) {
        out += c;
        if (uint8_t(c) == IAC)
            out += c;
    }
    return out;
}

std::string Telnet::SubOption(uint8_t option, std::string_view payload, bool withIs)
{
    std::string bytes{char(IAC), char(SB), char(option)};
    if (withIs)
        bytes += char(IS);
    bytes += EscapeIac(payload);
    bytes += char(IAC);
    bytes += char(SE);
    return bytes;
}

std::string Telnet::LocationReply(std::string_view location)
{
    return SubOption(SENDLOC, location, false);
}

std::string Telnet::TermTypeReply(std::string_view termType)
{
    return SubOption(TTYPE, termType, true);
}

namespace {

class Receiver
{
public:
    Receiver(TTelnetReceiveState& state, std::vector<TTelnetStep>& steps) : s_(state), steps_(steps)
    {}

    void byte(uint8_t b);
    void flush()
    {
        if (!data_.empty())
            steps_.push_back({TTelnetStep::Data, std::move(data_)});
        data_.clear();
    }

private:
    void data(uint8_t b)
    {
        data_ += char(b);
        if (data_.size() >= size_t(ReceiveBufferSize))
            flush();
    }
    void step(TTelnetStep::Kind kind, std::string bytes = {})
    {
        steps_.push_back({kind, std::move(bytes)});
    }
    void reply(uint8_t verb, uint8_t option)
    {
        step(TTelnetStep::Reply, std::string{char(IAC), char(verb), char(option)});
    }
    void replyToOption(uint8_t verb, uint8_t option);
    void subOption(const std::string& bytes);

    TTelnetReceiveState& s_;
    std::vector<TTelnetStep>& steps_;
    std::string data_;
};

void Receiver::byte(uint8_t b)
{
    if (s_.verb != 0) {
        const uint8_t verb = s_.verb;
        s_.verb = 0;
        s_.sub.clear();
        replyToOption(verb, b);
        return;
    }
    if (s_.inSub) {
        // Only IAC SE ends a sub-negotiation; IAC IAC stands for one 255.
        if (s_.subIac) {
            s_.subIac = false;
            if (b == SE) {
                s_.inSub = false;
                if (!s_.subOverflow)
                    subOption(s_.sub);
                s_.sub.clear();
                s_.subOverflow = false;
                return;
            }
            if (b != IAC) {
                // Some other command: the sub-negotiation was never closed.
                // It is dropped and the command is taken as it stands.
                s_.inSub = false;
                s_.sub.clear();
                s_.subOverflow = false;
                s_.iacSeen = true;
                byte(b);
                return;
            }
        } else if (b == IAC) {
            s_.subIac = true;
            return;
        }
        if (s_.sub.size() < size_t(MaxSubOption))
            s_.sub += char(b);
        else
            s_.subOverflow = true;
        return;
    }
    if (!s_.iacSeen) {
        if (b == IAC) {
            s_.iacSeen = true;
            return;
        }
        static const char* const names[] = {"TNCH_IP\r\n", "TNCH_AO\r\n", "TNCH_AYT\r\n",
                                            "TNCH_EC\r\n", "TNCH_EL\r\n"};
        if (b >= 244 && b <= 248)
            step(TTelnetStep::Trace, names[b - 244]);
        data(b);
        return;
    }
    s_.iacSeen = false;
    if (b == EOR) {
        step(TTelnetStep::Trace, "TNCH_EOR\r\n");
        step(TTelnetStep::EndOfRecord);
    } else if (b == SB) {
        s_.inSub = true;
        s_.subIac = false;
        s_.subOverflow = false;
        s_.sub.clear();
    } else if (b >= WILL && b <= DONT) {
        s_.verb = b;
    } else if (b == IAC) {
        data(b);
    } else {
        // The byte as a character when it is printable, else escaped.
        char line[32];
        if (b >= 0x20 && b < 0x7F && b != '\\')
            std::snprintf(line, sizeof line, "Unknown %02X '%c'\r\n", unsigned(b), char(b));
        else
            std::snprintf(line, sizeof line, "Unknown %02X '\\x%02X'\r\n", unsigned(b),
                          unsigned(b));
        step(TTelnetStep::Trace, line);
    }
}

void Receiver::replyToOption(uint8_t verb, uint8_t option)
{
    switch (option) {
    case BINARY:
    case SGA:
        if (verb == WILL)
            reply(DO, option);
        return;
    case ECHO:
        if (verb == WILL) {
            reply(DO, ECHO);
            s_.localEcho = false;
        } else if (verb == WONT) {
            s_.localEcho = true;
        }
        step(TTelnetStep::LocalEcho);
        return;
    case SENDLOC:
        if (verb == DO) {
            reply(WILL, SENDLOC);
            step(TTelnetStep::SendLocation);
        }
        return;
    case TTYPE:
    case OPT_EOR:
        if (verb == DO)
            reply(WILL, option);
        return;
    default:
        // Refused, every time it is asked.
        reply(verb == WILL ? DONT : WONT, option);
        return;
    }
}

void Receiver::subOption(const std::string& bytes)
{
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == TTYPE && uint8_t(bytes[1]) == SEND)
        step(TTelnetStep::SendTermType);
}

} // namespace

std::vector<TTelnetStep> TelnetReceive(TTelnetReceiveState& state, std::string_view bytes)
{
    std::vector<TTelnetStep> steps;
    Receiver r(state, steps);
    for (char c : bytes)
        r.byte(uint8_t(c));
    r.flush();
    return steps;
}
