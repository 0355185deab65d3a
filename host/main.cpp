// tolvane: the stand-in host application. It loads the driver library with
// the dynamic loader, exactly as a shop application would, and offers the
// driver's operations on the command line.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "Config.h"
#include "HostLibrary.h"
#include "Install.h"
#include "Text.h"

namespace {

int RunLoad(tolvanehost::Driver& driver, bool json) {
    tolvanehost::Document document = driver.LoadData();
    if (json) {
        nlohmann::json out = nlohmann::json::array();
        if (document.has_value())
            for (const auto& [code, quantity] : *document) out.push_back({{"code", code}, {"quantity", quantity}});
        else
            out = nullptr;
        std::cout << out.dump(1) << "\n";
        return 0;
    }
    if (document.has_value())
        for (const auto& [code, quantity] : *document) std::cout << code << "\t" << quantity << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tolvane - stand-in host for the Tolvane terminal driver"};
    app.require_subcommand(0, 1);
    std::string prefix;
    app.add_option("--prefix", prefix, "prefix folder that holds drive_c (default $TOLVANE_PREFIX or ~/.tolvane)");
    bool showVersion = false;
    app.add_flag("--version", showVersion, "show the library's file version and description");

    auto* version = app.add_subcommand("version", "print the driver's version number");
    auto* name = app.add_subcommand("name", "print the driver's name");
    auto* load = app.add_subcommand("load", "load a document from the terminal");
    bool json = false;
    load->add_flag("--json", json, "print the document as JSON");
    auto* sendGoods = app.add_subcommand("send-goods", "upload a goods file to the terminal's lookup database");
    std::string goodsFile;
    sendGoods->add_option("FILE", goodsFile, "the goods file")->required();
    auto* settings = app.add_subcommand("settings", "show the settings dialog");
    auto* init = app.add_subcommand("init", "prepare the prefix as an installer would (folders, REGSVR32.EXE, the SCANSITY server file)");
    auto* config = app.add_subcommand("config", "read or change section [Tolvane] of Trade.ini");
    config->require_subcommand(1);
    auto* configList = config->add_subcommand("list", "print every key as KEY=VALUE");
    auto* configGet = config->add_subcommand("get", "print the value of one key");
    auto* configSet = config->add_subcommand("set", "set one key");
    std::string configKey, configValue;
    configGet->add_option("KEY", configKey, "the key")->required();
    configSet->add_option("KEY", configKey, "the key")->required();
    configSet->add_option("VALUE", configValue, "the value (UTF-8)")->required();

    CLI11_PARSE(app, argc, argv);
    if (!prefix.empty()) setenv("TOLVANE_PREFIX", prefix.c_str(), 1);

    try {
        std::string libraryPath = tolvanehost::LibraryPath(argv[0]);
        if (showVersion) {
            auto record = tolvanehost::ReadVersionRecord(libraryPath);
            std::cout << "Tolvane " << record.FileVersion << " - " << record.FileDescription << "\n";
            return 0;
        }
        if (app.get_subcommands().empty()) {
            std::cout << app.help();
            return 0;
        }
        if (*init) {
            tolvanehost::InitPrefix(tolvanehost::PrefixFolder(),
                                    std::filesystem::path(libraryPath).parent_path().string(), std::cout);
            return 0;
        }
        // Configuration goes to the file itself; the driver is not loaded.
        if (*configList) return tolvanehost::ConfigList(std::cout);
        if (*configGet) return tolvanehost::ConfigGet(configKey, std::cout, std::cerr);
        if (*configSet) return tolvanehost::ConfigSet(configKey, configValue, std::cerr);
        tolvanehost::Driver driver(libraryPath);
        if (*version) std::cout << driver.GetVersion() << "\n";
        if (*name) std::cout << driver.GetDriverName() << "\n";
        if (*load) return RunLoad(driver, json);
        if (*sendGoods) driver.SendGoods(goodsFile);
        if (*settings) driver.ShowSettings();
        return 0;
    } catch (const tolvane::Exception& e) {
        std::cerr << tolvanehost::ToUtf8(e.Message()) << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "tolvane: " << e.what() << "\n";
        return 1;
    }
}
