import { describe, expect, it } from "vitest";
import { CatalogError, asFolder, catalogFile, findDll, parseCatalog, toDllItem, toSoftwareItem } from "../src/catalog";
import { checkRows, repairPlan } from "../src/programCheck";
import shipped from "../public/catalog.json";
import demo from "../public/demo-catalog.json";

const dll = (fields: Record<string, unknown> = {}) => ({ fileName: "a.dll", filePath: "C:\\Windows\\System32\\a.dll", ...fields });

describe("catalog", () => {
    it("reads the shipped catalog, every entry with a plain file name", () => {
        const catalog = parseCatalog(shipped);
        expect(catalog.dlls.length).toBeGreaterThan(0);
        expect(catalog.runtimes.length).toBeGreaterThan(0);
        expect(catalog.downloads.length).toBeGreaterThan(0);
        for (const entry of catalog.dlls)
            expect(entry.checkPath.every((folder) => folder.endsWith("\\"))).toBe(true);
    });

    it("plans the whole repair of the demo program from the demo catalog", () => {
        // What a fresh prefix lacks for tvn-demo.exe (demo/program.cpp): every one has a source,
        // the registered library asks for registration, and the runtime comes by its installer.
        const missing = ["libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll", "tvndemo.dll", "tvndemort.dll"];
        const catalog = parseCatalog(demo);
        const needs: Tvn.ProgramNeeds = { path: "/p/tvn-demo.exe", machine: "x64", kind: "program", dotnet: "", error: "",
            dlls: missing.map((name) => ({ name, status: "missing", path: "", neededBy: ["tvn-demo.exe"], delay: false })) };
        const plan = repairPlan(checkRows(needs, catalog));
        expect(plan.unknown).toEqual([]);
        expect(plan.dlls.map((entry) => entry.fileName).sort()).toEqual(missing.slice(0, 4).sort());
        expect(plan.dlls.filter((entry) => entry.needReg).map((entry) => entry.fileName)).toEqual(["tvndemo.dll"]);
        expect(plan.runtimes.map((entry) => [entry.fileName, entry.displayName])).toEqual([["tvn-demo-runtime-setup.exe", "tvn demo runtime - 1.0.0"]]);
    });

    it("names the pack's catalog file from config.ini, and nothing outside the pack", () => {
        expect(catalogFile("")).toBe("catalog.json");
        expect(catalogFile("demo")).toBe("demo-catalog.json");
        for (const name of ["../demo", "a/b", "Demo", "demo.json", " demo"])
            expect(() => catalogFile(name), name).toThrow(CatalogError);
    });

    it("turns entries into the engine's items", () => {
        const catalog = parseCatalog({ dlls: [dll({ checkPath: ["C:\\Windows\\System32", "D:\\Tools\\"], needReg: true, fileType: "t" })],
            runtimes: [{ fileName: "setup.exe", displayName: "Runtime 1.2.3", cmdParam: "/quiet" }] });
        expect(toDllItem(catalog.dlls[0])).toEqual({ filePath: "C:\\Windows\\System32\\a.dll",
            checkPath: ["C:\\Windows\\System32\\", "D:\\Tools\\"], fileName: "a.dll", fileType: "t", needReg: true });
        expect(toSoftwareItem(catalog.runtimes[0])).toEqual({ displayName: "Runtime 1.2.3", fileName: "setup.exe", cmdParam: "/quiet", regPath: "" });
        expect(catalog.runtimes[0].name).toBe("setup.exe");
    });

    it("refuses entries that would misname files or events", () => {
        const cases: unknown[] = [
            null,
            { dlls: {} },
            { dlls: [5] },
            { dlls: [dll({ fileName: "..\\evil.dll" })] },
            { dlls: [dll({ fileName: "sub/a.dll" })] },
            { dlls: [dll({ filePath: "" })] },
            { dlls: [dll({ checkPath: "C:\\" })] },
            { dlls: [dll({ checkPath: [""] })] },
            { dlls: [dll(), dll({ fileName: "A.DLL" })] },
            { runtimes: [{ fileName: "x.exe" }] },
            { downloads: [{ fileName: "" }] },
            { dlls: [dll({ arch: "arm64" })] },
            { dlls: [dll({ arch: "X86" })] },
            { runtimes: [{ fileName: "x.exe", displayName: "X", provides: "a.dll" }] },
            { runtimes: [{ fileName: "x.exe", displayName: "X", provides: ["..\\a.dll"] }] },
        ];
        for (const value of cases)
            expect(() => parseCatalog(value), JSON.stringify(value)).toThrow(CatalogError);
    });

    it("keeps the separator style of a folder and finds DLLs as Windows does, without case", () => {
        expect(asFolder("C:\\Windows")).toBe("C:\\Windows\\");
        expect(asFolder("/usr/lib")).toBe("/usr/lib/");
        expect(asFolder("C:\\Windows\\")).toBe("C:\\Windows\\");
        const catalog = parseCatalog({ dlls: [dll({ fileName: "MSVCP140.dll" })] });
        expect(findDll(catalog, "/home/me/Downloads/msvcp140.DLL")?.fileName).toBe("MSVCP140.dll");
        expect(findDll(catalog, "C:\\x\\msvcp140.dll")?.fileName).toBe("MSVCP140.dll");
        expect(findDll(catalog, "other.dll")).toBeUndefined();
    });
});
