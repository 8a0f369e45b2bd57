#pragma once

// What Keylark sets in the keyer when host mode opens, and again whenever it changes.
struct WinkeyerSettings
{
    int wpm = 20;        // 5 to 99
    int weighting = 50;  // 10 to 90; 50 is normal
    int ratio = 50;      // the dah as 3 * ratio / 50 dits, 33 to 66
    int knobLowest = 10; // wpm at the speed knob's lowest end
    int knobRange = 30;  // wpm the knob spans above its lowest, at most 63

    friend bool operator==(const WinkeyerSettings &, const WinkeyerSettings &) = default;
};

// How long the service waits for the keyer, in milliseconds.
struct WinkeyerTiming
{
    int resetWait = 300;   // after the port opens: some USB keyers restart then
    int answer = 1000;     // for each answer while host mode opens, and for a status byte asked for
    int quiet = 1000;      // without a byte from a keyer that has text, before its status is asked for
    int tuneLimit = 10000; // the longest carrier a tune keys
    int pace = 10;         // between two looks at the port's output queue while it is full
};
