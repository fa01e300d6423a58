// The telnet protocol's receive side as a function over byte buffers: the
// telnet commands are taken out of what the server sends, its option requests
// are answered from a fixed table, and what remains is data. Plain C++: no
// sockets, no callbacks, no Qt. The connection (TnCnx.h) feeds every socket
// read through TelnetReceive and carries out the steps it returns, in order.
//
// The receive state carries everything from one read to the next, so a
// command split anywhere between reads gives the same steps as in one read
// (apart from where the data is cut into blocks).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Telnet {
// Command bytes.
constexpr uint8_t IAC = 255;
constexpr uint8_t DONT = 254;
constexpr uint8_t DO = 253;
constexpr uint8_t WONT = 252;
constexpr uint8_t WILL = 251;
constexpr uint8_t SB = 250;
constexpr uint8_t SE = 240;
constexpr uint8_t EOR = 239;
// Options.
constexpr uint8_t BINARY = 0;
constexpr uint8_t ECHO = 1;
constexpr uint8_t SGA = 3;
constexpr uint8_t SENDLOC = 23;
constexpr uint8_t TTYPE = 24;
constexpr uint8_t OPT_EOR = 25;
// Sub-negotiation codes.
constexpr uint8_t IS = 0;
constexpr uint8_t SEND = 1;

// Size of one socket read and the largest data block handed over.
constexpr int ReceiveBufferSize = 2048;
// Longest sub-negotiation kept; the bytes beyond are dropped and the whole
// sub-negotiation is then ignored.
constexpr int MaxSubOption = 512;

// Data bytes with every 255 doubled, as the data stream requires.
std::string EscapeIac(std::string_view data);
// The sub-negotiations the client sends: IAC SB option [IS] payload IAC SE,
// with the payload's 255 bytes doubled.
std::string SubOption(uint8_t option, std::string_view payload, bool withIs);
std::string LocationReply(std::string_view location);
std::string TermTypeReply(std::string_view termType);
} // namespace Telnet

// Where the receive side stands between two reads.
struct TTelnetReceiveState
{
    bool iacSeen = false;
    // Inside IAC SB ... IAC SE, and an IAC seen inside it.
    bool inSub = false;
    bool subIac = false;
    // The sub-negotiation outgrew MaxSubOption and will be ignored.
    bool subOverflow = false;
    // WILL, WONT, DO or DONT waiting for its option byte; 0 for none.
    uint8_t verb = 0;
    std::string sub;
    // Set by the server's ECHO negotiation: WONT ECHO asks the client to
    // echo what it sends.
    bool localEcho = false;

    bool operator==(const TTelnetReceiveState&) const = default;
};

// One thing a read contained.
struct TTelnetStep
{
    enum Kind : uint8_t {
        // A block of data bytes (at most ReceiveBufferSize).
        Data,
        // An option command to send as it stands (IAC, verb, option).
        Reply,
        // The server asked for the location (after the WILL reply): send
        // LocationReply of it.
        SendLocation,
        // The server asked for the terminal type: send TermTypeReply of it.
        SendTermType,
        // IAC EOR.
        EndOfRecord,
        // An ECHO negotiation arrived (the state's localEcho is up to date).
        LocalEcho,
        // A debug line ending in CR LF, printable ASCII only.
        Trace,
    };
    Kind kind;
    std::string bytes;

    bool operator==(const TTelnetStep&) const = default;
};

// Processes one read from the socket. The steps come in the order of the
// bytes, except that the data of the read is handed over as one block after
// everything else it contained (cut at ReceiveBufferSize, a block is handed
// over as soon as it is full). Every request is answered, also one that asks
// for a mode already in force.
std::vector<TTelnetStep> TelnetReceive(TTelnetReceiveState& state, std::string_view bytes);
