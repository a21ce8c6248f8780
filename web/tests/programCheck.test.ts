import { describe, expect, it } from "vitest";
import { parseCatalog } from "../src/catalog";
import { checkLine, checkRows, checkSummary, programToCheck, repairPlan, sourceOf } from "../src/programCheck";

const catalog = parseCatalog({
    dlls: [
        { fileName: "d3dx9_43.dll", filePath: "C:\\Windows\\System32\\d3dx9_43.dll", arch: "x86" },
        { fileName: "xinput1_3.dll", filePath: "C:\\Windows\\System32\\xinput1_3.dll" },
    ],
    runtimes: [
        { name: "C++ 2015", displayName: "VC 14", fileName: "vc_redist.x64.exe", provides: ["MSVCP140.dll", "vcruntime140.dll"] },
        { name: "C++ 2013", displayName: "VC 12", fileName: "vcredist_2013.exe", provides: ["msvcr120.dll"] },
    ],
});

const dll = (name: string, status: Tvn.NeededStatus, neededBy = ["game.exe"], delay = false): Tvn.NeededDll => ({ name, status, path: "", neededBy, delay });
const needs = (machine: string, dlls: Tvn.NeededDll[]): Tvn.ProgramNeeds => ({ path: "/g/game.exe", machine, kind: "program", dotnet: "", dlls, error: "" });

describe("program check", () => {
    it("finds the catalog item for a DLL of the program's architecture, else a runtime that provides it", () => {
        expect(sourceOf("D3DX9_43.DLL", "x86", catalog)).toMatchObject({ kind: "dll", dll: { fileName: "d3dx9_43.dll" } });
        // The same name for the other architecture is not that entry.
        expect(sourceOf("d3dx9_43.dll", "x64", catalog)).toEqual({ kind: "none" });
        expect(sourceOf("msvcp140.dll", "x64", catalog)).toMatchObject({ kind: "runtime", runtime: { fileName: "vc_redist.x64.exe" } });
        expect(sourceOf("xinput1_3.dll", "arm64", catalog)).toEqual({ kind: "none" });
    });

    it("lists missing DLLs first and plans exactly their repair, each runtime once", () => {
        const rows = checkRows(needs("x64", [
            dll("kernel32.dll", "builtin"), dll("helper.dll", "found"), dll("vcruntime140.dll", "missing"), dll("xinput1_3.dll", "missing"),
            dll("msvcp140.dll", "missing", ["helper.dll"]), dll("other.dll", "missing"), dll("wrong.dll", "wrongarch"),
        ]), catalog);
        expect(rows.map((row) => `${row.dll.status} ${row.dll.name}`)).toEqual([
            "missing msvcp140.dll", "missing other.dll", "missing vcruntime140.dll", "missing xinput1_3.dll",
            "wrongarch wrong.dll", "found helper.dll", "builtin kernel32.dll",
        ]);
        const plan = repairPlan(rows);
        expect(plan.dlls.map((entry) => entry.fileName)).toEqual(["xinput1_3.dll"]);
        expect(plan.runtimes.map((entry) => entry.fileName)).toEqual(["vc_redist.x64.exe"]);
        expect(plan.unknown).toEqual(["other.dll"]); // never dropped
        expect(checkLine(rows[1])).toBe("tvn: check: other.dll: Missing, no known source (needed by game.exe)");
        expect(checkLine(rows[0])).toBe("tvn: check: msvcp140.dll: Missing, runtime C++ 2015 (needed by helper.dll)");
    });

    it("says what the file is, its .NET runtime and why it could not be read", () => {
        expect(checkSummary({ ...needs("x86", [dll("a.dll", "missing", ["game.exe"], true)]), dotnet: "v4.0.30319" }))
            .toBe("x86 program, asks for .NET v4.0.30319: needs 1 DLLs, 1 missing");
        expect(checkSummary({ ...needs("", []), kind: "", error: "not a PE file: no MZ signature" })).toBe("This file cannot be read: not a PE file: no MZ signature");
        expect(checkLine(checkRows(needs("x86", [dll("late.dll", "missing", ["game.exe"], true)]), catalog)[0]))
            .toBe("tvn: check: late.dll: Missing (loaded only when used), no known source (needed by game.exe)");
    });

    it("takes the program from the command line in either spelling", () => {
        expect(programToCheck(["/opt/tvn/tvn", "--autorun", "--check", "/g/game.exe"])).toBe("/g/game.exe");
        expect(programToCheck(["/opt/tvn/tvn", "--check=C:\\Games\\game.exe"])).toBe("C:\\Games\\game.exe");
        expect(programToCheck(["/opt/tvn/tvn", "--check"])).toBe("");
    });
});
