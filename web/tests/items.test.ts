import { describe, expect, it } from "vitest";
import { errorText, needsRepair, newItem, overallProgress, repairResult, scanResult, statusText } from "../src/items";

describe("items", () => {
    it("names every engine error code for its kind", () => {
        expect(errorText("dll", 1)).toMatch(/no download address/);
        expect(errorText("dll", 2)).toMatch(/download failed/);
        expect(errorText("dll", 3)).toMatch(/registration/);
        expect(errorText("runtime", 3)).toMatch(/installer/);
        expect(errorText("runtime", 7)).toBe("error 7");
        expect(statusText(repairResult(newItem("dll", "a.dll"), 2))).toBe("Failed: the download failed or its file did not match");
    });

    it("says present and installed, missing and not installed, by kind", () => {
        expect(statusText(scanResult(newItem("dll", "a.dll"), true))).toBe("Present");
        expect(statusText(scanResult(newItem("runtime", "a.exe"), true))).toBe("Installed");
        expect(statusText(scanResult(newItem("runtime", "a.exe"), false))).toBe("Not installed");
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

    it("sums progress over the run's items", () => {
        expect(overallProgress([])).toEqual({ done: 0, total: 0, fraction: 1 });
        const items = [
            { ...newItem("dll", "a"), progress: 1 },
            { ...newItem("dll", "b"), progress: 0.5 },
            { ...newItem("dll", "c"), progress: 0 },
            { ...newItem("dll", "d"), progress: 7 }, // clamped
        ];
        expect(overallProgress(items)).toEqual({ done: 2, total: 4, fraction: 2.5 / 4 });
    });
});
