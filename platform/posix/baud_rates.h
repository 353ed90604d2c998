// The ten line speeds the window offers, as termios speed codes.
#pragma once

#include <termios.h>

namespace qv {

// The termios code of a baud rate; B0 for a rate outside the ten.
inline speed_t speedOf(int baud) {
    switch (baud) {
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

// The baud rate of a termios code; 0 for a code outside the ten.
inline int baudOf(speed_t speed) {
    for (int baud : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (speedOf(baud) == speed) return baud;
    return 0;
}

}  // namespace qv
