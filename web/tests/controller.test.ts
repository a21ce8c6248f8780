import { describe, expect, it } from "vitest";
import type { Catalog, CatalogDll } from "../src/catalog";
import { PageController, type ControllerPorts, type StartOptions } from "../src/controller";
import type { Preview } from "../src/preview";
import type { RunSummary } from "../src/session";
import { format, setLanguage } from "../src/texts";
import { FakeEngine } from "./fakes";

const libraryDll = (fileName: string, arch: "x64" | "x86"): CatalogDll => ({
    fileName, fileType: "sys", description: fileName, filePath: `C:\\Windows\\System32\\${fileName}`, checkPath: ["C:\\Windows\\System32\\"],
    needReg: false, arch,
});

const catalog: Catalog = {
    home: "https://example.invalid",
    dlls: [libraryDll("a64.dll", "x64"), libraryDll("b32.dll", "x86")],
    runtimes: [{ name: "Runtime", displayName: "Runtime 1.0", fileName: "rt.exe", cmdParam: "/quiet", provides: [] }],
    downloads: [],
};

function page(start: StartOptions = { autorun: false, checkPath: "" }, answer = true) {
    setLanguage("en");
    const engine = new FakeEngine();
    const config: Record<string, string> = {};
    const asked: Preview[] = [];
    const said: string[] = [];
    const log: string[] = [];
    const finished: RunSummary[] = [];
    const ports: ControllerPorts = {
        confirm: async (preview) => {
            asked.push(preview);
            return answer;
        },
        target: () => "the prefix",
        status: (text) => said.push(text),
        log: (line) => log.push(line),
    };
    const store = {
        getConfig: ({ section, key }: { section: string; key: string }) => config[`${section}.${key}`] ?? "",
        setConfig: ({ section, key, value }: { section: string; key: string; value: string }) => {
            config[`${section}.${key}`] = value;
            return null;
        },
    };
    const controller = new PageController(catalog, engine, store, start);
    controller.attach({ item: () => {}, running: () => {}, finished: (summary) => finished.push(summary) }, ports);
    controller.usePrefix({ path: "/home/u/.wine", name: ".wine", source: "default", arch: "win64", wine: "" } as Tvn.WinePrefix, false);
    const scanned = (dllsPresent: boolean, runtimeInstalled: boolean) => {
        for (const dll of catalog.dlls)
            engine.onScanDll?.({ fileName: dll.fileName, fileType: "sys", isExist: dllsPresent });
        engine.onScanSoftware?.({ fileName: "rt.exe", isInstall: runtimeInstalled });
    };
    return { controller, engine, config, asked, said, log, finished, scanned };
}

// Lets the awaited confirmation and the runs it starts go on.
const settle = () => new Promise((resolve) => setTimeout(resolve, 0));

describe("page controller", () => {
    it("keeps each view's selection and repairs only what a repair would take", () => {
        const { controller, scanned } = page();
        controller.scanAll();
        scanned(false, true); // both libraries missing, the runtime installed
        controller.selectAll("dll", true);
        controller.select("runtime", "RT.EXE", true); // names compare without case
        expect(controller.isSelected("dll", "A64.DLL")).toBe(true);
        expect(controller.selectedToRepair("dll").map((item) => item.fileName)).toEqual(["a64.dll", "b32.dll"]);
        expect(controller.selectedToRepair("runtime")).toEqual([]); // in place: nothing to repair
        controller.select("dll", "a64.dll", false);
        expect(controller.selectedToRepair("dll").map((item) => item.fileName)).toEqual(["b32.dll"]);
        controller.clearSelection();
        expect(controller.isSelected("dll", "b32.dll") || controller.isSelected("runtime", "rt.exe")).toBe(false);
    });

    it("places each DLL by the prefix's architecture and leaves out what it cannot take", async () => {
        const { controller, engine, asked, scanned } = page();
        controller.scanAll();
        scanned(false, true);
        engine.calls = [];
        // 64-bit prefix: the 32-bit DLL goes to SysWOW64.
        expect(controller.repairRequest().dlls.map((dll) => dll.filePath)).toEqual(["C:\\Windows\\System32\\a64.dll", "C:\\Windows\\syswow64\\b32.dll"]);
        controller.usePrefix({ path: "/home/u/old", name: "old", source: "chosen", arch: "win32", wine: "" } as Tvn.WinePrefix, true);
        expect(controller.session.item("dll", "a64.dll").status).toBe("unavailable");
        controller.scanAll();
        scanned(false, true);
        engine.calls = [];
        expect(controller.repairRequest().dlls.map((dll) => dll.fileName)).toEqual(["b32.dll"]);
        expect(await controller.run("repair", controller.requestFor([controller.session.item("dll", "a64.dll")]))).toBe(false);
        expect(asked).toEqual([]); // nothing to repair: no question
        expect(engine.calls).toEqual([]);
    });

    it("starts a repair only once its preview is confirmed, and one run at a time", async () => {
        const refused = page(undefined, false);
        refused.controller.scanAll();
        refused.scanned(false, false);
        refused.engine.calls = [];
        expect(await refused.controller.run("repair", refused.controller.repairRequest())).toBe(false);
        expect(refused.asked).toHaveLength(1);
        expect(refused.engine.calls).toEqual([]);

        const { controller, engine, asked, said, scanned } = page();
        controller.scanAll();
        scanned(false, false);
        engine.calls = [];
        expect(await controller.run("repair", { dlls: [], softwares: [] })).toBe(false);
        expect(said).toEqual([format("nothingToRepair")]);
        expect(await controller.run("repair", controller.repairRequest())).toBe(true);
        expect(asked[0].lines.map((line) => line.fileName)).toEqual(["a64.dll", "b32.dll", "rt.exe"]);
        expect(engine.calls).toEqual(["oneKeyRepair 2 1"]);
        expect(await controller.run("scan", controller.repairRequest())).toBe(false); // the repair runs
    });

    it("unattended: scans, repairs what is missing without asking, and reports from the run's items", async () => {
        const { controller, engine, asked, log, scanned } = page({ autorun: true, checkPath: "" });
        controller.scanAll();
        scanned(false, true);
        await settle();
        expect(log).toEqual([
            "tvn: scan: a64.dll: Missing (missing)",
            "tvn: scan: b32.dll: Missing (missing)",
            "tvn: scan: rt.exe: Installed (present)",
        ]);
        expect(asked).toEqual([]);
        expect(engine.calls).toEqual(["oneKeyScan 2 1", "repairDlls 2"]);
        engine.onRepairDll?.({ fileName: "a64.dll", fileType: "sys", errorCode: 0, reason: "" });
        engine.onRepairDll?.({ fileName: "b32.dll", fileType: "sys", errorCode: 2, reason: "badDigest" });
        expect(log.slice(3)).toEqual([
            "tvn: repair: a64.dll: Repaired (repaired, progress 100%)",
            expect.stringMatching(/^tvn: repair: b32\.dll: .* \(failed, progress 0%\)$/),
            "tvn: repair: rt.exe: Installed (present)",
            "tvn: finished: 2 of 3 in place",
        ]);
        expect(controller.selectedToRepair("dll")).toEqual([]);
    });

    it("unattended program check: the first look's repair starts on its own, a later look reports", async () => {
        const { controller, engine, log } = page({ autorun: true, checkPath: "C:\\game\\game.exe" });
        const needs = { dlls: [{ name: "a64.dll", status: "missing" }] } as unknown as Tvn.ProgramNeeds;
        controller.programAnalyzed(needs, { dlls: [catalog.dlls[0]], runtimes: [], unknown: [] });
        await settle();
        expect(engine.calls).toEqual(["repairDlls 1"]);
        engine.onRepairDll?.({ fileName: "a64.dll", fileType: "sys", errorCode: 0, reason: "" });
        expect(log).toEqual(["tvn: repair: a64.dll: Repaired (repaired, progress 100%)"]); // only the run's own rows
        controller.programAnalyzed({ dlls: [] } as unknown as Tvn.ProgramNeeds, { dlls: [], runtimes: [], unknown: [] });
        expect(log[1]).toBe("tvn: check finished: 0 missing");
    });

    it("keeps settings in the page's section", () => {
        const { controller, config } = page();
        controller.setSetting("theme", "dark");
        expect(controller.settings.theme).toBe("dark");
        expect(config["page.theme"]).toBe("dark");
    });
});
