#include "icom_stand_in.h"
#include "kenwood_stand_in.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

// The radio tests' Kenwood or Icom on a pseudo-terminal, for the end-to-end test: prints the terminal's
// path, then answers one line for each request on standard input ("keyed": what its keyer has keyed so
// far; "pieces": how many texts it was handed; "commands": how many commands it had). It ends with its
// input.
int main(int argc, char **argv)
{
    const bool icom = argc > 1 && std::string(argv[1]) == "icom";
    std::unique_ptr<StandInRadio> radio;
    if (icom)
        radio = std::make_unique<IcomStandIn>();
    else
        radio = std::make_unique<KenwoodStandIn>();
    std::printf("%s\n", radio->path().toUtf8().constData());
    std::fflush(stdout);
    for (std::string request; std::getline(std::cin, request);) {
        if (request == "keyed")
            std::printf("[%s]\n", radio->keyedText().constData());
        else if (request == "pieces")
            std::printf("%zu\n", radio->pieces().size());
        else if (request == "commands")
            std::printf("%zu\n", radio->commands().size());
        else
            std::printf("?\n");
        std::fflush(stdout);
    }
    return 0;
}
