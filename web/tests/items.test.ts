import { describe, expect, it } from "vitest";
import { errorText, finishedText, viewCountText, needsRepair, newItem, overallProgress, repairResult, retryItems, rowBar, scanResult, statusText, type ItemState } from "../src/items";

describe("items", () => {
    it("names every engine error code for its kind", () => {
        expect(errorText("dll", 1)).toMatch(/no download address/);
        expect(errorText("dll", 2)).toMatch(/download failed/);
        expect(errorText("dll", 3)).toMatch(/registration/);
        expect(errorText("runtime", 3)).toMatch(/installer/);
        expect(errorText("runtime", 7)).toBe("error 7");
        expect(statusText(repairResult(newItem("dll", "a.dll"), 2))).toBe("Failed: the download failed or its file did not match");
    });

    it("tells apart, by the engine's reason, failures that share a code", () => {
        const dll = newItem("dll", "a.dll");
        const words = (code: number, reason: Tvn.RepairReason, item = dll) => statusText(repairResult(item, code, reason));
        const download = ["badDigest", "transfer", "cannotWrite", "refused"] as const;
        const texts = download.map((reason) => words(2, reason));
        expect(new Set(texts).size).toBe(download.length);
        expect(words(2, "badDigest")).toBe("Failed: the downloaded file did not match its digest, so it was not used");
        expect(words(1, "unreachable")).toBe("Failed: the download server cannot be reached");
        expect(words(1, "noServer")).toBe("Failed: no download server is configured");
        expect(words(1, "noAddress")).toBe("Failed: the server has no download for it");
        expect(words(3, "notStarted")).toBe("Failed: registration could not be started");
        expect(words(3, "notStarted", newItem("runtime", "s.exe"))).toBe("Failed: the installer could not be started");
        // Without a reason the code speaks, as before.
        expect(words(2, "")).toBe("Failed: the download failed or its file did not match");
    });

    it("calls a cut-off repair cancelled and an installer's code a note, not a failure", () => {
        const cancelled = repairResult(newItem("dll", "a.dll"), 2, "cancelled");
        expect([cancelled.status, statusText(cancelled)]).toEqual(["cancelled", "Cancelled"]);
        expect(needsRepair(cancelled)).toBe(true);
        const installed = repairResult(newItem("runtime", "s.exe"), 0, "exitCode", 3010);
        expect([installed.status, statusText(installed)]).toEqual(["repaired", "Installed (the installer ended with code 3010)"]);
        expect(statusText(repairResult(newItem("runtime", "s.exe"), 0))).toBe("Installed (installer finished)");
        // A later scan forgets the last repair's reason.
        expect(scanResult(cancelled, true).reason).toBe("");
    });

    it("says once for the run when the server was missing, not only on every row", () => {
        const failed = (reason: Tvn.RepairReason, name: string) => repairResult(newItem("dll", name), reason === "noServer" || reason === "unreachable" ? 1 : 2, reason);
        const done = repairResult(newItem("dll", "ok.dll"), 0);
        expect(finishedText("repair", false, [failed("unreachable", "a.dll"), failed("unreachable", "b.dll"), done]))
            .toBe("Repair finished: 2 failed, the download server cannot be reached");
        expect(finishedText("repair", false, [failed("noServer", "a.dll")])).toBe("Repair finished: 1 failed, no download server is configured");
        // Failures of their own (a bad file) name no server trouble.
        expect(finishedText("repair", false, [failed("badDigest", "a.dll"), done])).toBe("Repair finished: 1 repaired, 1 failed");
        expect(finishedText("repair", false, [done])).toBe("Repair finished: 1 repaired");
        const cut = repairResult(newItem("dll", "c.dll"), 2, "cancelled");
        expect(finishedText("repair", true, [failed("unreachable", "a.dll"), done, cut, { ...cut, fileName: "d.dll" }]))
            .toBe("Repair cancelled: 1 repaired, 1 failed, 2 not done");
        expect(finishedText("scan", true, [])).toBe("Cancelled");
        expect(finishedText("scan", false, [scanResult(newItem("dll", "a.dll"), false), scanResult(newItem("dll", "b.dll"), true)]))
            .toBe("Scan finished: 1 missing");
    });

    it("says present or installed by kind, and missing for both", () => {
        expect(statusText(scanResult(newItem("dll", "a.dll"), true))).toBe("Present");
        expect(statusText(scanResult(newItem("runtime", "a.exe"), true))).toBe("Installed");
        expect(statusText(scanResult(newItem("dll", "a.dll"), false))).toBe("Missing");
        expect(statusText(scanResult(newItem("runtime", "a.exe"), false))).toBe("Missing");
    });

    it("repairs what is missing, failed or cancelled, never what is in place", () => {
        const item = newItem("dll", "a.dll");
        expect(needsRepair(item)).toBe(false);
        expect(needsRepair(scanResult(item, false))).toBe(true);
        expect(needsRepair(scanResult(item, true))).toBe(false);
        expect(needsRepair(repairResult(item, 1))).toBe(true);
        expect(needsRepair(repairResult(item, 0))).toBe(false);
        expect(needsRepair({ ...item, status: "cancelled" })).toBe(true);
    });

    it("shows a bar only for a repair's work, and a full one only for a repair done", () => {
        const dll = newItem("dll", "a.dll");
        expect(rowBar(dll)).toBeNull();
        expect(rowBar(scanResult(dll, false))).toBeNull(); // a scan's answer is no work done
        expect(rowBar(scanResult(dll, true))).toBeNull();
        expect(rowBar({ ...dll, status: "unavailable" })).toBeNull();
        expect(rowBar({ ...dll, status: "queued" })).toBe(0);
        expect(rowBar({ ...dll, status: "working" })).toBe("busy");
        expect(rowBar({ ...dll, status: "working", progress: 0.25 })).toBe(0.25);
        expect(rowBar(repairResult({ ...dll, status: "working" }, 0))).toBe(1);
        // A transfer cut or broken off keeps what had arrived, short of full even when every byte had;
        // a file thrown away (its digest did not match) is no work done.
        expect(rowBar(repairResult({ ...dll, status: "working" }, 2, "transfer"))).toBe(0);
        expect(rowBar(repairResult({ ...dll, status: "working", progress: 0.4 }, 2, "cancelled"))).toBe(0.4);
        expect(rowBar(repairResult({ ...dll, status: "working", progress: 1 }, 2, "transfer"))).toBeLessThan(1);
        expect(rowBar(repairResult({ ...dll, status: "working", progress: 1 }, 2, "badDigest"))).toBe(0);
    });

    it("counts the run's work done, so a failed or cancelled run's bar is not full", () => {
        expect(overallProgress([])).toEqual({ done: 0, total: 0, fraction: 1 });
        const item = (name: string, status: ItemState["status"], progress = 0): ItemState => ({ ...newItem("dll", name), status, progress });
        const finished = [item("a", "repaired", 1), item("b", "missing"), item("c", "present")];
        expect(overallProgress(finished)).toEqual({ done: 3, total: 3, fraction: 1 });
        expect(overallProgress([...finished, item("d", "failed")])).toEqual({ done: 4, total: 4, fraction: 3 / 4 });
        // Cut off: the working item counts for its part, the queued one for nothing.
        expect(overallProgress([item("a", "repaired", 1), item("b", "cancelled", 0.5), item("c", "cancelled")]))
            .toEqual({ done: 3, total: 3, fraction: 1.5 / 3 });
        expect(overallProgress([item("a", "working", 7), item("b", "queued"), item("c", "checking"), item("d", "unknown")]))
            .toEqual({ done: 0, total: 4, fraction: 1 / 4 }); // clamped
    });

    it("retries what failed or was cut off, nothing else", () => {
        const items = [repairResult(newItem("dll", "a"), 0), repairResult(newItem("dll", "b"), 2, "transfer"),
            repairResult(newItem("runtime", "c"), 2, "cancelled"), repairResult(newItem("runtime", "d"), 0, "exitCode", 5)];
        expect(retryItems(items).map((item) => item.fileName)).toEqual(["b", "c"]);
    });

    it("counts a view's items as far as they are known", () => {
        const dll = (name: string, status: ItemState["status"]): ItemState => ({ ...newItem("dll", name), status });
        expect(viewCountText("dll", [])).toBe("The catalog names no libraries.");
        expect(viewCountText("dll", [dll("a", "unknown"), dll("b", "checking")])).toBe("2 libraries, not checked yet");
        expect(viewCountText("dll", [dll("a", "missing"), dll("b", "present"), dll("c", "failed")])).toBe("2 of 3 libraries missing");
        expect(viewCountText("dll", [dll("a", "repaired"), dll("b", "present")])).toBe("All 2 libraries in place");
        // Not all in place though none is missing: one cannot be used in this prefix.
        expect(viewCountText("dll", [dll("a", "present"), dll("b", "unavailable")])).toBe("0 of 2 libraries missing");
        expect(viewCountText("runtime", [{ ...newItem("runtime", "s.exe"), status: "missing" }])).toBe("1 of 1 runtime missing");
    });
});
