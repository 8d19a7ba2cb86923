#include "app/startup.h"
#include "cli/informationoption.h"

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered = answerInformationOption(argc, argv, windowReference()))
        return *answered;
    if (hasOption(argc, argv, Option::Guide))
        return runGuideWindow(argc, argv);
    return runMainWindow(argc, argv);
}
