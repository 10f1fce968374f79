// Room links: what a host prints, a friend pastes and the browser opens.
#include "net/relay_room_code.h"
#include "net/room_link.h"

#include <gtest/gtest.h>

namespace zindle::relay {
namespace {

TEST(RoomLinkTest, LinksRoundTripAndReadTheirOtherSpellings) {
    const RoomCodeText code = *parseRoomCode("3ABCDEFGHJKMN");
    const struct {
        std::string_view text;
        std::optional<RoomLink> link;
    } cases[] = {
        {"http://127.0.0.1:8080/#3ABCDEFGHJKMN", RoomLink{"127.0.0.1", 8080, code}},
        {"http://relay.example:8080/#3abcdefghjkmn", RoomLink{"relay.example", 8080, code}},
        {"ws://[::1]:9000/ws/3ABCDEFGHJKMN", RoomLink{"::1", 9000, code}},
        {"http://[::1]:8080/#3ABCDEFGHJKMN", RoomLink{"::1", 8080, code}},
        {"http://[fe80::1]/", RoomLink{"fe80::1", 80, std::nullopt}},
        {"http://[::1]x:8080/", std::nullopt},
        {"http://::1:8080/", std::nullopt},
        {"http://host/", RoomLink{"host", 80, std::nullopt}},
        {"http://host:8080", RoomLink{"host", 8080, std::nullopt}},
        {"http://host:0/", std::nullopt},
        {"http://host:65536/", std::nullopt},
        {"http://host:80x/", std::nullopt},
        {"http://:8080/", std::nullopt},
        {"http://user@host:8080/", std::nullopt},
        {"http://[::1/", std::nullopt},
        {"http://host:8080/#TOOSHORT", std::nullopt},
        {"http://host:8080/#0OOOOOOOOOOOO", std::nullopt},
        {"ftp://host/#3ABCDEFGHJKMN", std::nullopt},
        {"3ABCDEFGHJKMN", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseRoomLink(c.text), c.link) << c.text;
        if (c.link) {
            EXPECT_EQ(parseRoomLink(formatRoomLink(*c.link)), c.link) << c.text;
        }
    }
    EXPECT_EQ(webSocketTarget(RoomLink{"h", 1, code}), "/ws/3ABCDEFGHJKMN");
    EXPECT_EQ(webSocketTarget(RoomLink{"h", 1, std::nullopt}), "/ws");
    // A browser's hostname for an IPv6 address comes bracketed already.
    for (const char* host : {"::1", "[::1]"})
        EXPECT_EQ(formatRoomLink(RoomLink{host, 9000, code}), "http://[::1]:9000/#3ABCDEFGHJKMN");
}

} // namespace
} // namespace zindle::relay
