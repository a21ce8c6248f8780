// Stand-ins for the modules the page talks to, shared by the tests.

// The engine as the page sees it: the callbacks it stores and the calls it gets.
export class FakeEngine implements Tvn.BizRepairModule {
    calls: string[] = [];
    downloadFolder = "/home/u/Downloads";
    onScanDll?: (event: Tvn.DllScanEvent) => void;
    onScanSoftware?: (event: Tvn.SoftwareScanEvent) => void;
    onRepairDll?: (event: Tvn.DllRepairEvent) => void;
    onInstall?: (event: Tvn.SoftwareInstallEvent) => void;
    onCancel?: () => void;
    onProgressEvent?: (event: Tvn.RepairProgressEvent) => void;
    scanDlls(items: Tvn.DllItem[], callback: (event: Tvn.DllScanEvent) => void) { this.onScanDll = callback; this.record("scanDlls", items); }
    scanSoftwares(items: Tvn.SoftwareItem[], callback: (event: Tvn.SoftwareScanEvent) => void) { this.onScanSoftware = callback; this.record("scanSoftwares", items); }
    repairDlls(items: Tvn.DllItem[], callback: (event: Tvn.DllRepairEvent) => void) { this.onRepairDll = callback; this.record("repairDlls", items); }
    installSoftwares(items: Tvn.SoftwareItem[], callback: (event: Tvn.SoftwareInstallEvent) => void) { this.onInstall = callback; this.record("installSoftwares", items); }
    cancelTask(callback: () => void) { this.onCancel = callback; this.calls.push("cancelTask"); }
    onProgress(callback: (event: Tvn.RepairProgressEvent) => void) { this.onProgressEvent = callback; }
    oneKeyScan(dlls: Tvn.DllItem[], softwares: Tvn.SoftwareItem[]) { this.calls.push(`oneKeyScan ${dlls.length} ${softwares.length}`); }
    oneKeyRepair(dlls: Tvn.DllItem[], softwares: Tvn.SoftwareItem[]) { this.calls.push(`oneKeyRepair ${dlls.length} ${softwares.length}`); }
    downloadFile(): never { throw new Error("Invalid arguments"); }
    downloadSizes(): Tvn.Thenable<{ sizes: { fileName: string; size: number }[] }> { return { then: () => undefined } as unknown as Tvn.Thenable<{ sizes: { fileName: string; size: number }[] }>; }
    private record(name: string, items: unknown[]) { if (items.length) this.calls.push(`${name} ${items.length}`); }
}

export const dll = (fileName: string): Tvn.DllItem => ({ fileName, filePath: `C:\\Windows\\System32\\${fileName}`, checkPath: [], fileType: "t" });
export const software = (fileName: string): Tvn.SoftwareItem => ({ fileName, displayName: fileName });

