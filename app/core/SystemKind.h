// The kinds of reference system the program works in: the panels' type list,
// the written forms' prefixes and a calculation's sides all speak of these.
#ifndef SYSTEMKIND_H
#define SYSTEMKIND_H

enum class SystemKind {
    None,
    Geocentric,         // X, Y, Z
    Geodetic,           // latitude, longitude, height
    GaussKruger,        // a 6-degree Gauss-Krüger zone (gk:)
    Utm,                // a UTM zone (utm:)
    TransverseMercator, // a Transverse Mercator of given parameters (tm:, proj:)
    Local               // a named local system: plane keys over a base plane system (msk:)
};

#endif // SYSTEMKIND_H
