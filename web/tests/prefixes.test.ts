import { describe, expect, it } from "vitest";
import type { CatalogDll } from "../src/catalog";
import { groupPrefixes, placeDll, prefixSummary } from "../src/prefixes";

const prefix = (name: string, source: Tvn.PrefixSource, path = `/home/u/${name}`, arch = "win64"): Tvn.WinePrefix =>
    ({ name, source, path, arch, wine: "/usr/bin/wine" });

const dll = (arch: "x64" | "x86"): CatalogDll => ({
    fileName: "d3dx9_43.dll", fileType: "directx", description: "", needReg: false, arch,
    filePath: "C:\\Windows\\System32\\d3dx9_43.dll", checkPath: ["C:\\Windows\\System32\\", "C:\\Games\\System32Tools\\"],
});

describe("prefixes", () => {
    const found = [
        prefix("Witcher 3", "lutris"), prefix("Wine", "default", "/home/u/.wine"), prefix("Dota 2", "steam"),
        prefix("Among Us", "steam", "/disk/SteamLibrary/steamapps/compatdata/945360/pfx", "win32"), prefix("Office", "bottles"),
    ];

    it("groups by source, tools first, each group sorted by name", () => {
        const groups = groupPrefixes(found, "");
        expect(groups.map((group) => `${group.label}: ${group.prefixes.map((p) => p.name).join(", ")}`)).toEqual([
            "Steam: Among Us, Dota 2", "Bottles: Office", "Lutris: Witcher 3", "Wine's default: Wine",
        ]);
    });

    it("filters on every word, in the name, the path or the source, without case", () => {
        expect(groupPrefixes(found, "  dota ").flatMap((group) => group.prefixes.map((p) => p.name))).toEqual(["Dota 2"]);
        expect(groupPrefixes(found, "945360").flatMap((group) => group.prefixes.map((p) => p.name))).toEqual(["Among Us"]);
        expect(groupPrefixes(found, "STEAM us").flatMap((group) => group.prefixes.map((p) => p.name))).toEqual(["Among Us"]);
        expect(groupPrefixes(found, "steam witcher")).toEqual([]);
    });

    it("names a prefix with its source and architecture", () => {
        expect(prefixSummary(found[3])).toBe("Among Us (Steam, 32-bit)");
        expect(prefixSummary(prefix("x", "chosen", "/x", ""))).toBe("x (Chosen by hand, architecture unknown)");
    });

    it("places a DLL where a prefix of that architecture keeps it", () => {
        // 64-bit prefix: 64-bit DLLs in System32, 32-bit ones in SysWOW64 (only the system32 folder itself).
        expect(placeDll(dll("x64"), "win64")).toEqual({ dll: dll("x64") });
        const wow = placeDll(dll("x86"), "win64");
        expect("dll" in wow && wow.dll.filePath).toBe("C:\\Windows\\syswow64\\d3dx9_43.dll");
        expect("dll" in wow && wow.dll.checkPath).toEqual(["C:\\Windows\\syswow64\\", "C:\\Games\\System32Tools\\"]);
        // Unknown architecture (and tvn's own folder): Wine's default, 64-bit.
        expect(placeDll(dll("x86"), "")).toEqual(wow);
        // 32-bit prefix: its own DLLs in System32; a 64-bit one is not offered.
        expect(placeDll(dll("x86"), "win32")).toEqual({ dll: dll("x86") });
        expect(placeDll(dll("x64"), "win32")).toEqual({ unavailable: "statusNot32" });
    });
});
