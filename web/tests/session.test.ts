import { describe, expect, it } from "vitest";
import { overallProgress, rowBar, runText, statusText, type ItemState } from "../src/items";
import { RepairSession, type RunSummary } from "../src/session";
import { FakeEngine, dll, software } from "./fakes";

function session() {
    const engine = new FakeEngine();
    const seen: ItemState[] = [];
    const finished: RunSummary[] = [];
    const running: (string | null)[] = [];
    const clock = { now: 0 };
    const repair = new RepairSession(engine, { item: (item) => seen.push(item), running: (op) => running.push(op), finished: (s) => finished.push(s) },
        () => clock.now);
    return { engine, seen, finished, running, repair, clock };
}

describe("repair session", () => {
    it("stores its callbacks once without starting anything, then scans both lists in one call", () => {
        const { engine, finished, repair } = session();
        expect(engine.calls).toEqual([]);
        expect(repair.scan({ dlls: [dll("a.dll"), dll("b.dll")], softwares: [software("s.exe")] })).toBe(true);
        expect(engine.calls).toEqual(["oneKeyScan 2 1"]);
        expect(repair.item("dll", "a.dll").status).toBe("checking");
        expect(repair.scan({ dlls: [dll("a.dll")], softwares: [] })).toBe(false); // one run at a time
        engine.onScanDll?.({ fileName: "a.dll", fileType: "t", isExist: true });
        engine.onScanDll?.({ fileName: "B.DLL", fileType: "t", isExist: false }); // names compare without case
        expect(finished).toEqual([]);
        engine.onScanSoftware?.({ fileName: "s.exe", isInstall: false });
        expect(finished).toHaveLength(1);
        expect(finished[0].items.map((item) => item.status)).toEqual(["present", "missing", "missing"]);
        expect(repair.running).toBeNull();
    });

    it("marks the item being repaired and the next one as each result arrives", () => {
        const { engine, finished, repair } = session();
        repair.repair({ dlls: [dll("a.dll"), dll("b.dll")], softwares: [software("s.exe")] });
        expect(engine.calls).toEqual(["oneKeyRepair 2 1"]);
        expect(repair.item("dll", "a.dll").status).toBe("working");
        expect(repair.item("dll", "b.dll").status).toBe("queued");
        engine.onRepairDll?.({ fileName: "a.dll", fileType: "t", errorCode: 0, reason: "" });
        expect(repair.item("dll", "b.dll").status).toBe("working");
        engine.onRepairDll?.({ fileName: "b.dll", fileType: "t", errorCode: 2, reason: "" });
        expect(repair.item("runtime", "s.exe").status).toBe("working");
        engine.onInstall?.({ fileName: "s.exe", errorCode: 0, reason: "" });
        expect(finished[0].items.map((item) => [item.status, item.errorCode, item.progress])).toEqual([["repaired", 0, 1], ["failed", 2, 0], ["repaired", 0, 1]]);
    });

    it("uses the single-kind calls when one list is empty", () => {
        const { engine, repair } = session();
        repair.repair({ dlls: [dll("a.dll")], softwares: [] });
        engine.onRepairDll?.({ fileName: "a.dll", fileType: "t", errorCode: 0, reason: "" });
        repair.repair({ dlls: [], softwares: [software("s.exe")] });
        expect(engine.calls).toEqual(["repairDlls 1", "installSoftwares 1"]);
    });

    it("ends a cancelled run when the engine confirms, and ignores what comes after", () => {
        const { engine, finished, running, repair } = session();
        repair.scan({ dlls: [dll("a.dll"), dll("b.dll"), dll("c.dll")], softwares: [] });
        engine.onScanDll?.({ fileName: "a.dll", fileType: "t", isExist: false });
        repair.cancel();
        repair.cancel(); // once
        expect(engine.calls.filter((call) => call === "cancelTask")).toHaveLength(1);
        expect(repair.isCancelling).toBe(true);
        engine.onCancel?.();
        expect(finished[0].cancelled).toBe(true);
        expect(finished[0].items.map((item) => item.status)).toEqual(["missing", "unknown", "unknown"]);
        engine.onScanDll?.({ fileName: "b.dll", fileType: "t", isExist: true });
        expect(repair.item("dll", "b.dll").status).toBe("unknown");
        expect(running[running.length - 1]).toBeNull();
        expect(repair.repair({ dlls: [], softwares: [] })).toBe(false); // nothing to do starts nothing
    });

    it("leaves unfinished repair items cancelled, to be repaired again", () => {
        const { engine, finished, repair } = session();
        repair.repair({ dlls: [dll("a.dll"), dll("b.dll")], softwares: [] });
        repair.cancel();
        engine.onRepairDll?.({ fileName: "a.dll", fileType: "t", errorCode: 2, reason: "cancelled" }); // the task that was running
        engine.onCancel?.();
        // The one cut off is cancelled as the ones never begun are: not a failure.
        expect(finished[0].items.map((item) => [item.status, item.reason])).toEqual([["cancelled", "cancelled"], ["cancelled", ""]]);
    });

    it("forgets every item when the prefix changes, but never during a run", () => {
        const { engine, seen, repair } = session();
        repair.scan({ dlls: [dll("a.dll")], softwares: [software("s.exe")] });
        expect(repair.reset(["b.dll"])).toBe(false);
        engine.onScanDll?.({ fileName: "a.dll", fileType: "t", isExist: true });
        engine.onScanSoftware?.({ fileName: "s.exe", isInstall: false });
        seen.length = 0;
        expect(repair.reset(["b.dll"])).toBe(true);
        expect(seen.map((item) => `${item.fileName}:${item.status}`)).toEqual(["a.dll:unknown", "s.exe:unknown", "b.dll:unavailable"]);
        expect(repair.item("runtime", "s.exe").status).toBe("unknown");
        expect(repair.item("dll", "b.dll").status).toBe("unavailable");
    });

    it("follows the working item's file, its speed and the steps after it, and ignores other files", () => {
        const { engine, repair, clock } = session();
        repair.repair({ dlls: [dll("a.dll")], softwares: [software("s.exe")] });
        const progress = (fileName: string, current: number, total: number) => engine.onProgressEvent?.({ fileName, current, total });
        progress("s.exe", 10, 100); // not the one being worked on
        expect(repair.item("runtime", "s.exe").transfer).toBeNull();
        progress("A.DLL", 0, 4_000_000);
        clock.now = 1000;
        progress("a.dll", 1_000_000, 4_000_000);
        const a = repair.item("dll", "a.dll");
        expect([a.progress, a.transfer?.perSecond]).toEqual([0.25, 1_000_000]);
        expect(statusText(a)).toBe("Downloading: 1 MB of 4 MB, 1 MB/s, 3 sec left");
        expect(runText(overallProgress(repair.runItems()), repair.workingItem())).toBe("Repairing: 0 of 2; a.dll: 1 MB of 4 MB, 1 MB/s, 3 sec left");
        // Every byte in: what is left (registering) has no part to show.
        progress("a.dll", 4_000_000, 4_000_000);
        expect([statusText(repair.item("dll", "a.dll")), rowBar(repair.item("dll", "a.dll"))]).toEqual(["Repairing…", "busy"]);
        engine.onRepairDll?.({ fileName: "a.dll", fileType: "t", errorCode: 0, reason: "" });
        expect(repair.item("dll", "a.dll").transfer).toBeNull();
        // The next item's speed is its own.
        clock.now = 5000;
        progress("s.exe", 0, 0);
        expect(statusText(repair.item("runtime", "s.exe"))).toBe("Downloading the installer: 0 bytes");
        progress("a.dll", 5, 5); // late, of an item answered
        expect(repair.item("dll", "a.dll").status).toBe("repaired");
    });
});
