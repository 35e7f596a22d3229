#pragma once
// The Active Setup component's Version: Windows' comma form, compared and raised as the logon compares it.
// Plain byte work: no C runtime, no <windows.h>; the installer and kvxpurge both raise it.

// Up to four numbers below 65536; the parts not written count as 0.
struct ComponentVersion {
    unsigned part[4] = {0, 0, 0, 0};
};

constexpr unsigned ComponentVersionParts = 4;
// "65535,65535,65535,65535" and its NUL.
constexpr unsigned ComponentVersionTextSize = 24;

// text as 1 to 4 comma-separated decimal numbers, each below 65536, nothing
// else (no blanks, no signs, no empty part). False otherwise: such a Version
// counts as absent, and version is then all 0.
inline bool ParseComponentVersion(const char* text, ComponentVersion* version)
{
    *version = ComponentVersion();
    unsigned parts = 0;
    for (const char* at = text;; ++at) {
        unsigned value = 0, digits = 0;
        for (; *at >= '0' && *at <= '9'; ++at, ++digits) {
            value = value * 10 + static_cast<unsigned>(*at - '0');
            if (value > 0xFFFF) break;
        }
        if (digits == 0 || value > 0xFFFF || parts == ComponentVersionParts) break;
        version->part[parts++] = value;
        if (*at == 0) return true;
        if (*at != ',') break;
    }
    *version = ComponentVersion();
    return false;
}

// Below 0 when a is lower, 0 when equal, above 0 when higher: part by part, as numbers.
inline int CompareComponentVersions(const ComponentVersion& a, const ComponentVersion& b)
{
    for (unsigned i = 0; i < ComponentVersionParts; ++i)
        if (a.part[i] != b.part[i]) return a.part[i] < b.part[i] ? -1 : 1;
    return 0;
}

// "a,b,c,d" into out (ComponentVersionTextSize bytes).
inline void FormatComponentVersion(const ComponentVersion& version, char* out)
{
    for (unsigned i = 0; i < ComponentVersionParts; ++i) {
        char digits[5];
        unsigned count = 0, value = version.part[i] & 0xFFFF;
        do digits[count++] = static_cast<char>('0' + value % 10);
        while ((value /= 10) != 0);
        while (count) *out++ = digits[--count];
        *out++ = i + 1 < ComponentVersionParts ? ',' : '\0';
    }
}

// The moment a Version is raised at, in UTC.
struct VersionMoment {
    unsigned year, month, day, hour, minute, second, milliseconds;
};

// The Version an installation or a removal writes: "Y,MMDD,HHMM,SSmmm" of
// the moment, or, when that is not above old (a clock set back, two runs in
// one millisecond), old with its last part raised by one, carried into the
// parts before it. False, with raised as old, when old is the highest there is.
// raised may be old itself.
inline bool RaiseComponentVersion(const ComponentVersion& given, const VersionMoment& now, ComponentVersion* raised)
{
    const ComponentVersion old = given;
    const unsigned fromClock[ComponentVersionParts] = {
        now.year, now.month * 100 + now.day, now.hour * 100 + now.minute, now.second * 1000 + now.milliseconds};
    bool fits = true;
    for (unsigned i = 0; i < ComponentVersionParts; ++i) {
        raised->part[i] = fromClock[i];
        fits = fits && fromClock[i] <= 0xFFFF;
    }
    if (fits && CompareComponentVersions(*raised, old) > 0) return true;
    *raised = old;
    for (unsigned i = ComponentVersionParts; i-- > 0;) {
        if (raised->part[i] < 0xFFFF) {
            ++raised->part[i];
            return true;
        }
        raised->part[i] = 0;
    }
    *raised = old;
    return false;
}

// The moment of a SYSTEMTIME, or of anything with its fields.
template <class Time>
inline VersionMoment MomentOf(const Time& t)
{
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

// The Version text in text (at least ComponentVersionTextSize bytes) raised
// in place at now; one that is no comma form counts as absent.
inline bool RaiseVersionText(char* text, const VersionMoment& now)
{
    ComponentVersion version;
    ParseComponentVersion(text, &version);
    const bool raised = RaiseComponentVersion(version, now, &version);
    FormatComponentVersion(version, text);
    return raised;
}
