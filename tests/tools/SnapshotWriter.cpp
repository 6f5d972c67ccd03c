// Not a test by itself: one of the processes the snapshot store's
// concurrency test starts at once. It keeps COUNT snapshots in FOLDER, one
// after the other, each labelled "PREFIX k" with parameter 4 set to
// VALUE + k, and ends with 0 only if every one was kept.
//
//   SnapshotWriter FOLDER PREFIX VALUE COUNT

#include "files/SnapshotStore.h"
#include "link/NativeFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 5)
    {
        std::fprintf(stderr, "usage: SnapshotWriter FOLDER PREFIX VALUE COUNT\n");
        return 2;
    }
    kestra::SnapshotStore store(kestra::nativefile::fileFromArgument(argv[1]));
    store.load();
    const int value = std::atoi(argv[3]);
    const int count = std::atoi(argv[4]);
    for (int k = 0; k < count; ++k)
    {
        kestra::SnapshotInfo info;
        info.taken = juce::Time::getCurrentTime();
        info.label = std::string(argv[2]) + " " + std::to_string(k);
        info.automatic = k % 2 == 0;
        auto record = kestra::ProjectRecord::initial();
        record.parameterValues[4] = static_cast<float>(value + k);
        if (store.add(info, record) < 0)
        {
            std::fprintf(stderr, "SnapshotWriter: %s not kept\n", info.label.c_str());
            return 1;
        }
    }
    return 0;
}
