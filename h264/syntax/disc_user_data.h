// The user data of the disc-video world: user_data_unregistered payloads that begin with one
// UUID and a 4-character type indicator.
#pragma once

#include "h264/bits/bit_reader.h"

#include <cstdint>

// What a payload's header makes of it.
enum class DiscUserData {
    kForeign, // another UUID, which no type indicator follows
    kGsmp,    // the GOP structure map
    kOfmd,    // the 3D offset metadata
    kMdpm,    // the camcorder recording information
    kOther,   // another type indicator, "GA94" among them
};

struct DiscUserDataHeader {
    uint8_t uuid_iso_iec_11578[16] = {};
    uint8_t type_indicator[4]      = {};

    // The whole header, in bits.
    static constexpr uint64_t kBits = 8 * (sizeof uuid_iso_iec_11578 + sizeof type_indicator);

    DiscUserDataHeader() = default;
    // The header of GSMP, OFMD or MDPM user data, as it is written.
    explicit DiscUserDataHeader(DiscUserData kind);

    bool IsDiscVideo() const; // the UUID is the disc-video one
    DiscUserData Kind() const;

    // The UUID, then after the disc-video UUID the type indicator; returns Kind(). A payload
    // that ends first makes the reader throw; a UUID read whole before it stays.
    DiscUserData Parse(H264BitReader& reader);
    template <class RW> DiscUserData Syntax(RW& rw);
};
