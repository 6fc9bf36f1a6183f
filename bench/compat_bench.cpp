// Figures for the inventory comparisons and the saved files, each beside a
// plain reference: the per-entry search of the current list, and a Boost
// read without the layout walk. Run it under wine64; it is not a test.
//   compat_bench [entries]   (100000 by default)

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "core/compat/Drivers.h"
#include "core/compat/Extensions.h"
#include "core/compat/InstalledApp.h"
#include "core/compat/SavedFile.h"

using namespace Tavrin::Core;

namespace {

double Seconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Half the saved entries are gone, the other half are found at random places
// of the current list; a tenth of the saved names are duplicates.
template <typename Record, typename Make>
void MakeLists(std::size_t count, Make make, std::list<Record>& saved, std::list<Record>& current)
{
    std::mt19937 random(7);
    std::vector<std::size_t> savedIds(count), currentIds(count);
    for (std::size_t i = 0; i < count; ++i) {
        savedIds[i] = i % 10 == 9 ? i - 1 : i;
        currentIds[i] = i + count / 2;
    }
    std::shuffle(currentIds.begin(), currentIds.end(), random);
    for (std::size_t id : savedIds)
        saved.push_back(make(id));
    for (std::size_t id : currentIds)
        current.push_back(make(id));
}

std::wstring Name(const wchar_t* prefix, std::size_t id)
{
    return prefix + std::to_wstring(id);
}

// The comparisons exactly as a reader of their description would write them.
std::list<InstalledApp> SearchMissingApplications(const std::list<InstalledApp>& saved,
                                                  const std::list<InstalledApp>& current)
{
    std::list<InstalledApp> missing;
    if (current.empty())
        return missing;
    for (const auto& app : saved) {
        if (std::none_of(current.begin(), current.end(),
                         [&](const InstalledApp& now) { return now.keyName == app.keyName; }))
            missing.push_back(app);
    }
    return missing;
}

std::list<SavedDriver> SearchMissingDrivers(const std::list<SavedDriver>& saved,
                                            const std::list<SavedDriver>& current)
{
    std::list<SavedDriver> missing;
    if (current.empty())
        return missing;
    for (const auto& driver : saved) {
        if (std::none_of(current.begin(), current.end(),
                         [&](const SavedDriver& now) { return now.hardwareId == driver.hardwareId; }))
            missing.push_back(driver);
    }
    return missing;
}

std::list<SavedExtension> SearchLostAssociations(const std::list<SavedExtension>& saved,
                                                 const std::list<SavedExtension>& current)
{
    std::list<SavedExtension> lost;
    for (const auto& entry : saved) {
        auto found = std::find_if(current.begin(), current.end(), [&](const SavedExtension& now) {
            return now.extension == entry.extension;
        });
        if (found == current.end() || (!entry.progId.empty() && found->progId != entry.progId))
            lost.push_back(entry);
    }
    return lost;
}

template <typename Record>
void Compare(const char* what, std::size_t count, const std::list<Record>& saved,
             const std::list<Record>& current,
             std::list<Record> (*hashed)(const std::list<Record>&, const std::list<Record>&),
             std::list<Record> (*search)(const std::list<Record>&, const std::list<Record>&))
{
    std::list<Record> fast, slow;
    double fastSeconds = Seconds([&] { fast = hashed(saved, current); });
    double slowSeconds = Seconds([&] { slow = search(saved, current); });
    std::printf("%-22s %8zu x %-8zu %10.4f s %12.3f s %9.0fx  %8zu found  %s\n", what, count, count,
                fastSeconds, slowSeconds, slowSeconds / std::max(fastSeconds, 1e-9), fast.size(),
                fast == slow ? "identical" : "DIFFERENT");
}

void CompareAll(std::size_t count)
{
    std::list<InstalledApp> savedApps, currentApps;
    MakeLists<InstalledApp>(
        count,
        [](std::size_t id) {
            return InstalledApp{kMachineRoot, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                Name(L"{6F1A2B3C-0000-4000-8000-", id) + L"}", Name(L"Application ", id)};
        },
        savedApps, currentApps);
    Compare("MissingApplications", count, savedApps, currentApps, &FindMissingApplications,
            &SearchMissingApplications);

    std::list<SavedDriver> savedDrivers, currentDrivers;
    MakeLists<SavedDriver>(
        count,
        [](std::size_t id) {
            return SavedDriver{Name(L"Device ", id), Name(L"PCI\\VEN_8086&DEV_", id),
                               L"{4d36e97d-e325-11ce-bfc1-08002be10318}"};
        },
        savedDrivers, currentDrivers);
    Compare("MissingDrivers", count, savedDrivers, currentDrivers, &FindMissingDrivers,
            &SearchMissingDrivers);

    std::list<SavedExtension> savedExtensions, currentExtensions;
    MakeLists<SavedExtension>(
        count,
        [](std::size_t id) {
            return SavedExtension{Name(L".X", id), Name(L"Program.", id % 3), L"hash", L"open.exe %1"};
        },
        savedExtensions, currentExtensions);
    Compare("LostAssociations", count, savedExtensions, currentExtensions, &FindLostAssociations,
            &SearchLostAssociations);
}

// The stock way of reading: Boost on the file, nothing checked first.
std::list<InstalledApp> StockLoad(const std::wstring& path)
{
    std::list<InstalledApp> apps;
    std::ifstream file(path.c_str(), std::ios::binary);
    std::string header(28, '\0');
    file.read(&header[0], 28);
    boost::archive::text_iarchive archive(file, boost::archive::no_header);
    archive.set_library_version(boost::serialization::library_version_type(13));
    archive >> apps;
    return apps;
}

void SaveAndLoad(std::size_t count)
{
    std::list<InstalledApp> apps;
    for (std::size_t i = 0; i < count; ++i) {
        apps.push_back({i % 2 ? kUsersRoot : kMachineRoot,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                        Name(L"{6F1A2B3C-0000-4000-8000-", i) + L"}", Name(L"Application \u00E9 ", i)});
    }
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"compat_bench_applications.saved";

    bool saved = false;
    double saveSeconds = Seconds([&] { saved = SaveInstalledApps(apps, path); });
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes);
    std::list<InstalledApp> loaded, stock;
    double loadSeconds = Seconds([&] { loaded = LoadInstalledApps(path); });
    double stockSeconds = Seconds([&] { stock = StockLoad(path); });
    ::DeleteFileW(path.c_str());

    std::printf("SaveInstalledApps      %8zu apps    %10.4f s   (%.1f MB, %s)\n", count, saveSeconds,
                attributes.nFileSizeLow / 1048576.0, saved ? "written" : "FAILED");
    std::printf("LoadInstalledApps      %8zu apps    %10.4f s   stock Boost read without the layout walk "
                "%.4f s; %s\n",
                count, loadSeconds, stockSeconds,
                loaded == apps && stock == apps ? "round trip identical" : "DIFFERENT");
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    std::printf("%-22s %-19s %12s %14s %10s\n", "difference list", "saved x current", "hashed",
                "per-entry search", "ratio");
    CompareAll(count / 10);
    CompareAll(count);
    std::printf("\n");
    SaveAndLoad(count);
    return 0;
}
