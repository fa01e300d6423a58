// Random server bytes into the telnet receive side. The first four bytes seed
// where the rest is cut into reads. Whatever the cuts, the data, the other
// steps and the final state must equal those of one read and of one byte a
// read; every reply is a well-formed option command that the table allows;
// data blocks and the collected sub-negotiation stay bounded; trace lines are
// printable text; and the client's sub-negotiation answers, read back by a
// receiver, frame their payload exactly.
#include "telnet/TnCnxOptions.h"

#include <cstdlib>
#include <cstring>

using namespace Telnet;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Result
{
    std::string data;
    std::vector<TTelnetStep> others;
    TTelnetReceiveState state;
};

bool inTable(uint8_t option)
{
    return option == BINARY || option == ECHO || option == SGA || option == SENDLOC ||
           option == TTYPE || option == OPT_EOR;
}

void checkStep(const TTelnetStep& step)
{
    switch (step.kind) {
    case TTelnetStep::Data:
        check(!step.bytes.empty() && step.bytes.size() <= size_t(ReceiveBufferSize));
        break;
    case TTelnetStep::Reply: {
        check(step.bytes.size() == 3 && uint8_t(step.bytes[0]) == IAC);
        const uint8_t verb = uint8_t(step.bytes[1]);
        const uint8_t option = uint8_t(step.bytes[2]);
        check(verb >= WILL && verb <= DONT);
        // Accepted options are answered DO (BINARY, ECHO, SGA) or WILL
        // (SEND-LOCATION, TERMINAL-TYPE, END-OF-RECORD); every other option
        // is refused.
        if (verb == DO)
            check(option == BINARY || option == ECHO || option == SGA);
        else if (verb == WILL)
            check(option == SENDLOC || option == TTYPE || option == OPT_EOR);
        else
            check(!inTable(option));
        break;
    }
    case TTelnetStep::Trace:
        check(step.bytes.size() >= 2 && step.bytes.substr(step.bytes.size() - 2) == "\r\n");
        for (size_t i = 0; i + 2 < step.bytes.size(); ++i)
            check(uint8_t(step.bytes[i]) >= 0x20 && uint8_t(step.bytes[i]) < 0x7F);
        break;
    default:
        check(step.bytes.empty());
        break;
    }
}

template <typename Cuts> Result feed(std::string_view input, Cuts nextCut)
{
    Result r;
    size_t at = 0;
    while (at < input.size()) {
        const size_t n = std::min(input.size() - at, nextCut());
        for (TTelnetStep& step : TelnetReceive(r.state, input.substr(at, n))) {
            checkStep(step);
            if (step.kind == TTelnetStep::Data)
                r.data += step.bytes;
            else
                r.others.push_back(std::move(step));
        }
        check(r.state.sub.size() <= size_t(MaxSubOption));
        at += n;
    }
    return r;
}

// The client's answer, read as a server would read it, is one closed
// sub-negotiation and nothing else.
void checkFraming(const std::string& answer)
{
    TTelnetReceiveState server;
    for (const TTelnetStep& step : TelnetReceive(server, answer))
        check(step.kind != TTelnetStep::Data && step.kind != TTelnetStep::Reply);
    check(!server.inSub && !server.iacSeen && server.verb == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    uint32_t seed;
    std::memcpy(&seed, data, 4);
    const std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);

    const Result whole = feed(input, [&] { return input.size(); });
    check(whole.data.size() <= input.size());
    const Result bytewise = feed(input, [] { return size_t(1); });
    const Result split = feed(input, [&] {
        seed = seed * 1103515245u + 12345u;
        return size_t(1 + (seed >> 16) % 97);
    });
    for (const Result* r : {&bytewise, &split}) {
        check(r->data == whole.data);
        check(r->others == whole.others);
        check(r->state == whole.state);
    }

    // The input's own bytes as location and terminal type.
    const std::string_view payload = input.substr(0, std::min<size_t>(input.size(), 64));
    checkFraming(LocationReply(payload));
    checkFraming(TermTypeReply(payload));
    return 0;
}
