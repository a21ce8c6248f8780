// @vitest-environment happy-dom
// The whole page rendered in a pseudo-language (every catalog text marked): a word the page shows
// that is not marked came from its markup or code, not from a catalog, and no translation reaches it.
import { afterEach, describe, expect, it } from "vitest";
import { startApp } from "../src/app";
import type { Catalog as PageCatalog } from "../src/catalog";
import { setLanguage } from "../src/texts";

const thenable = <T>(value: T): Tvn.Thenable<T> => ({ then: (success: (value: T) => void) => void success(value) }) as Tvn.Thenable<T>;

// The page's catalog: data the page shows as it is (names, descriptions, paths), never words of its own.
const pageCatalog: PageCatalog = {
    home: "https://example.invalid/help",
    dlls: [{ fileName: "a.dll", fileType: "t", description: "Alpha library", filePath: "C:\\Windows\\System32\\a.dll", checkPath: ["C:\\Windows\\System32\\"], needReg: false, arch: "x64" }],
    runtimes: [{ name: "Beta runtime", displayName: "Beta runtime 1.0", fileName: "beta.exe", cmdParam: "/quiet", provides: [] }],
    downloads: [{ name: "Gamma setup", fileName: "gamma.exe", fileType: "t" }],
};
const data = ["a.dll", "Alpha library", "Beta runtime 1.0", "Beta runtime", "beta.exe", "Gamma setup", "/home/u/Downloads", "/data/tvn",
    "/data/tvn/", "/tmp/", "/opt/tvn/tvn", "Debian GNU/Linux 12", "6.1.0", "stable", "tvn0123", "English", "简体中文", "0.1.0"];

function modules() {
    const none = () => undefined;
    const sys = {
        argv: ["/opt/tvn/tvn"], languages: ["C"], channel: "stable", usageReports: true,
        getConfig: ({ section, key }: { section: string; key: string }) => (section === "page" && key === "language" ? "pseudo" : ""), setConfig: () => null, msgBox: () => "", getAppPath: () => "/opt/tvn/tvn", getAppDataPath: () => "/data/tvn/",
        getTempPath: () => "/tmp/", arch: () => 64, osVersion: () => ({ major: 6, minor: 1, build: 0, platformId: 2, distribution: "Debian GNU/Linux 12", kernel: "6.1.0" }),
        getDeviceIdAsync: () => thenable({ deviceId: "tvn0123" }), readLogs: () => thenable({ folder: "/data/tvn/logs", lines: [] }),
        openFileDialog: () => thenable({ files: [] }), openUrl: none, showInExplorer: none,
    } as unknown as Tvn.SysModule;
    const window = { resizable: false, onSize: none, setBackground: none, minimize: none, maximize: none, restore: none, hide: none, show: none,
        close: none, bringWindowToFront: none } as unknown as Tvn.WindowModule;
    const engine = { downloadFolder: "/home/u/Downloads", scanDlls: none, scanSoftwares: none, repairDlls: none, installSoftwares: none,
        cancelTask: none, onProgress: none, oneKeyScan: none, oneKeyRepair: none, downloadFile: none } as unknown as Tvn.BizRepairModule;
    const wine = { current: null, prefixes: () => thenable([]), use: () => false, analyze: () => thenable({}), history: () => thenable([]), undo: () => thenable({ ok: true, restored: 0, removed: 0, error: "" }) } as unknown as Tvn.WineModule;
    return { sys, window, engine, wine, zip: {} as Tvn.ZipModule, dragdrop: { getFiles: () => [] } as unknown as Tvn.DragDropModule,
        trayicon: { add: none, hosted: false } as unknown as Tvn.TrayIconModule };
}

/** What the page shows that no catalog gave: each text and named attribute, less the catalog's marked
 *  texts and the data, where a letter is left. */
function unmarked(root: HTMLElement): string[] {
    const shown: string[] = [];
    const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode())
        shown.push(node.textContent ?? "");
    for (const element of root.querySelectorAll("*"))
        for (const name of ["title", "aria-label", "placeholder", "alt"])
            shown.push(element.getAttribute(name) ?? "");
    const left = (text: string) => data.reduce((rest, value) => rest.split(value).join(""), text.replace(/⟦[^⟧]*⟧/g, ""));
    return shown.filter((text) => /\p{L}/u.test(left(text)));
}

describe("the page in a pseudo-language", () => {
    afterEach(() => setLanguage("en"));

    it("shows no word of its own outside the catalogs", () => {
        const root = document.createElement("div");
        document.body.appendChild(root);
        startApp(root, pageCatalog, modules()); // config.ini names the pseudo-language
        expect(root.querySelector(".tabs")?.textContent).toContain("⟦Libraries⟧");
        expect(unmarked(root)).toEqual([]);
    });
});
