// Holds the USB-mode lock for the lock tests: prints "held" (or "busy"), releases it when a
// line arrives on stdin.

#include "link/UsbModeLock.h"

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    trivel::UsbModeLock lock(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    if (!lock.tryAcquire()) {
        std::cout << "busy" << std::endl;
        return 1;
    }
    std::cout << "held" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    lock.release();
    std::cout << "released" << std::endl;
    return 0;
}
