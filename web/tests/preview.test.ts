import { describe, expect, it } from "vitest";
import { repairPreview, withSizes } from "../src/preview";
import { reportLine } from "../src/report";

describe("the preview of a repair", () => {
    const dll = (fileName: string, needReg = false): Tvn.DllItem => ({ fileName, filePath: `C:\\Windows\\SysWOW64\\${fileName}`, needReg });

    it("names each item, what happens to it and where it goes, and a button for the action", () => {
        const preview = repairPreview({
            dlls: [dll("a.dll"), dll("b.dll", true)],
            softwares: [{ displayName: "Runtime - 1.0", fileName: "setup.exe", cmdParam: "/install /quiet" }],
        }, "This changes the Wine prefix Game at /p.");
        expect(preview).toEqual({
            title: "Repair 3 items?",
            where: "This changes the Wine prefix Game at /p.",
            lines: [
                { fileName: "a.dll", name: "a.dll", size: "", action: "Downloaded into place", destination: "C:\\Windows\\SysWOW64\\a.dll" },
                { fileName: "b.dll", name: "b.dll", size: "", action: "Downloaded into place, then registered", destination: "C:\\Windows\\SysWOW64\\b.dll" },
                { fileName: "setup.exe", name: "Runtime - 1.0", size: "", action: "Its installer runs: setup.exe /install /quiet", destination: "" },
            ],
            confirm: "Repair 3 items",
        });
    });

    it("shows each file's size once the server has said it, and nothing for a size it did not", () => {
        const preview = repairPreview({ dlls: [dll("a.dll"), dll("b.dll")], softwares: [{ displayName: "R", fileName: "r.exe" }] }, "");
        const sized = withSizes(preview!, [{ fileName: "A.DLL", size: 1_500_000 }, { fileName: "b.dll", size: 0 }, { fileName: "r.exe", size: 512 }]);
        expect(sized.lines.map((line) => line.size)).toEqual(["1.5 MB", "", "512 bytes"]);
        expect(preview!.lines.every((line) => line.size === "")).toBe(true); // the first preview as it was
    });

    it("counts one item as one, and has nothing to show for nothing", () => {
        const one = repairPreview({ dlls: [], softwares: [{ displayName: "R", fileName: "r.exe" }] }, "");
        expect([one?.title, one?.confirm, one?.lines[0].action]).toEqual(["Repair 1 item?", "Repair 1 item", "Its installer runs: r.exe"]);
        expect(repairPreview({ dlls: [], softwares: [] }, "")).toBeNull();
    });
});

describe("the unattended run's lines", () => {
    const row = { fileName: "a.dll", status: "missing", statusText: "Missing" };
    it("print a bar's value only where the row shows a bar", () => {
        expect(reportLine("scan", { ...row, progress: null })).toBe("tvn: scan: a.dll: Missing (missing)");
        expect(reportLine("repair", { ...row, status: "failed", statusText: "Failed: x", progress: 0 })).toBe("tvn: repair: a.dll: Failed: x (failed, progress 0%)");
        expect(reportLine("repair", { ...row, status: "working", progress: "?" })).toBe("tvn: repair: a.dll: Missing (working, progress ?%)");
    });
});
